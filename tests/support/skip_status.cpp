#include "skip_status.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace korva_test {

int status_with_skips(int run_all_tests_result)
{
    const ::testing::UnitTest &unit = *::testing::UnitTest::GetInstance();
    if (run_all_tests_result != 0 || unit.skipped_test_count() == 0)
        return run_all_tests_result;
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const ::testing::TestSuite &suite = *unit.GetTestSuite(i);
        for (int j = 0; j < suite.total_test_count(); ++j) {
            const ::testing::TestInfo &test = *suite.GetTestInfo(j);
            if (test.result()->Skipped())
                std::printf("SKIPPED: %s.%s\n", suite.name(), test.name());
        }
    }
    std::printf("%d test(s) skipped, none failed: exit status %d (skipped)\n", unit.skipped_test_count(),
                kSkippedStatus);
    std::fflush(stdout);
    return kSkippedStatus;
}

}

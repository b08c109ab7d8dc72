// The exit status of test programs that ctest runs whole (skip_status.h):
// this program runs itself on a chosen set of its probe tests and checks the
// status each run ends with. A run whose tests were all skipped must not
// look like a pass, and a failure must never look like a skip.
#include "skip_status.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

TEST(SkipStatusProbe, Passes) {}

TEST(SkipStatusProbe, Skips)
{
    GTEST_SKIP() << "a probe that skips";
}

TEST(SkipStatusProbe, FailsThenSkips)
{
    ADD_FAILURE() << "a probe that fails";
    GTEST_SKIP() << "and then skips";
}

namespace {

int run_self(const char *self, const std::string &filter)
{
    const pid_t child = fork();
    if (child == 0) {
        // The probes' own report is noise here; the parent names each run.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        const std::string flag = "--gtest_filter=" + filter;
        execl(self, self, "--probe", flag.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--probe") == 0) {
        ::testing::InitGoogleTest(&argc, argv);
        return korva_test::status_with_skips(RUN_ALL_TESTS());
    }
    const struct {
        const char *filter;
        int status;
    } cases[] = {
        {"SkipStatusProbe.Passes", 0},
        {"SkipStatusProbe.Skips", korva_test::kSkippedStatus},
        {"SkipStatusProbe.Passes:SkipStatusProbe.Skips", korva_test::kSkippedStatus},
        {"SkipStatusProbe.FailsThenSkips", 1},
        {"SkipStatusProbe.Skips:SkipStatusProbe.FailsThenSkips", 1},
    };
    int failed = 0;
    for (const auto &c : cases) {
        const int status = run_self("/proc/self/exe", c.filter);
        const bool ok = status == c.status;
        std::printf("%s: %s exits %d, expected %d\n", ok ? "ok" : "FAIL", c.filter, status, c.status);
        failed += ok ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}

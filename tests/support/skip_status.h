// The exit status of a test program that ctest runs whole (add_test, not
// split up by gtest_discover_tests). GoogleTest exits 0 when every test was
// skipped, which ctest would count as a pass; such programs exit 77 instead,
// which their tests declare as SKIP_RETURN_CODE (korva_program_test in
// tests/CMakeLists.txt), so that the run shows up as skipped.
#ifndef KORVA_TEST_SKIP_STATUS_H
#define KORVA_TEST_SKIP_STATUS_H

namespace korva_test {

inline constexpr int kSkippedStatus = 77;

// RUN_ALL_TESTS()'s result, or kSkippedStatus when it passed with tests
// skipped; those are named on standard output.
int status_with_skips(int run_all_tests_result);

}

#endif

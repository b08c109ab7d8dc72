// Running a program from a test with its output captured: the one runner the
// tests share for programs that run to their end.
#ifndef KORVA_TESTS_SUPPORT_RUN_CAPTURED_H
#define KORVA_TESTS_SUPPORT_RUN_CAPTURED_H

#include <map>
#include <string>
#include <vector>

namespace korva_test {

struct Captured {
    int exit_code = -1;     // 128 + signal when killed; -1 when it could not be waited for
    std::string out;
    std::string err;        // empty when merged into out
};

// Runs argv (argv[0] looked up on PATH when it holds no slash) and waits for
// it. `env` is added to the child's environment; with `merge`, standard
// error goes into `out` too, in the order written; a `stdin_path` is the
// child's standard input (exit status 127 when it cannot be opened).
Captured run_captured(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env = {},
                      bool merge = false, const std::string &stdin_path = {});

}  // namespace korva_test

#endif

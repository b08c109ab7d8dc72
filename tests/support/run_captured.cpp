#include "run_captured.h"

#include "scratch.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korva_test {

Captured run_captured(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env, bool merge,
                      const std::string &stdin_path)
{
    ScratchDir capture;
    const std::string out_path = capture.file("stdout");
    const std::string err_path = capture.file("stderr");
    std::vector<std::string> strings = argv;
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = merge ? out_fd : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        if (!stdin_path.empty()) {
            const int in_fd = open(stdin_path.c_str(), O_RDONLY);
            if (in_fd < 0 || dup2(in_fd, STDIN_FILENO) < 0)
                _exit(127);
        }
        for (const auto &[name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
    Captured result;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child)
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    if (!merge)
        result.err = read_file(err_path);
    return result;
}

}  // namespace korva_test

// Files for tests: a scratch directory of the test's own, whole-file reads
// and writes, directory listings, and a tiny file system to fill up.
#ifndef KORVA_TESTS_SUPPORT_SCRATCH_H
#define KORVA_TESTS_SUPPORT_SCRATCH_H

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korva_test {

// A TempDir (temp_dir.h) whose failure to be made fails the test.
struct ScratchDir : TempDir {
    ScratchDir();
};

// The whole file; empty when it cannot be read.
std::string read_file(const std::string &path);
// Creates or truncates the file and writes the bytes.
void write_file(const std::string &path, const std::string &bytes);
// Permission bits, set-id and sticky bits of the file (07777).
mode_t mode_of(const std::string &path);

// Runs `body` in a child process as user and group 65534 ("nobody") and
// returns its exit status; -1 when not running as root. The body reports
// through its return value only.
template <class Body> int as_nobody(Body body)
{
    if (::geteuid() != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 98;
    return WEXITSTATUS(status);
}

// A 64 KiB tmpfs mounted on a fresh directory, unmounted on destruction.
// `mounted` is false where mounting is not permitted (not root, no
// CAP_SYS_ADMIN); the caller then skips with KORVA_REQUIRE_TINYFS.
struct TinyFs {
    ScratchDir dir;
    bool mounted = false;

    TinyFs();
    ~TinyFs();
    std::string file(const std::string &name) const { return dir.file(name); }
    // Writes a filler file until the file system reports it is full.
    bool fill();
};

}  // namespace korva_test

#define KORVA_REQUIRE_TINYFS(fs)                                                                 \
    do {                                                                                         \
        if (!(fs).mounted)                                                                       \
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN): skipping "  \
                            "the full-disk case";                                                \
    } while (0)

#endif

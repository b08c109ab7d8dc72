// Test helpers shared by the configuration, settings and preset tests: a
// private temporary directory, a tiny tmpfs to fill up, and whole-file I/O.
#ifndef KORVA_TESTS_HOST_SCRATCH_H
#define KORVA_TESTS_HOST_SCRATCH_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace scratch {

// A directory of its own under /tmp, removed with everything in it.
struct Dir {
    std::string path;
    Dir()
    {
        char name[] = "/tmp/korva-test-XXXXXX";
        if (::mkdtemp(name) != nullptr)
            path = name;
    }
    ~Dir()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    Dir(const Dir &) = delete;
    Dir &operator=(const Dir &) = delete;
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

inline std::string read(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

inline void write(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::string> list(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline mode_t mode_of(const std::string &path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

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
// CAP_SYS_ADMIN); the caller then skips.
struct TinyFs {
    Dir dir;
    bool mounted = false;
    TinyFs()
    {
        if (!dir.path.empty())
            mounted = ::mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
    }
    ~TinyFs()
    {
        if (mounted)
            ::umount2(dir.path.c_str(), MNT_DETACH);
    }
    std::string operator/(const std::string &name) const { return dir / name; }
    // Writes a filler file until the file system reports it is full.
    bool fill()
    {
        const int fd = ::open((dir / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const std::string block(4096, 'x');
        bool full = false;
        for (int i = 0; i < 1024 && !full; ++i)
            full = ::write(fd, block.data(), block.size()) < 0 && errno == ENOSPC;
        // Fill the last partial page too.
        while (full && ::write(fd, "x", 1) == 1) {
        }
        ::close(fd);
        return full;
    }
};

}  // namespace scratch

#define KORVA_REQUIRE_TINYFS(fs)                                                                 \
    do {                                                                                         \
        if (!(fs).mounted)                                                                       \
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN): skipping "  \
                            "the full-disk case";                                                \
    } while (0)

#endif

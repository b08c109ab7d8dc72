#include "preset_write.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::file_io {
namespace {

// Closes the descriptor on every path out; close() reports its own result
// when called explicitly, which the success path needs.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { if (fd >= 0) ::close(fd); }
    bool close()
    {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

bool write_all(int fd, std::span<const unsigned char> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a save really replaces: a symbolic link is followed so that the
// link itself stays in place. A dangling link is replaced as it stands.
std::string resolve_target(const char *path)
{
    struct stat st {};
    if (::lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *real = ::realpath(path, nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
    }
    return path;
}

// Creates a new, empty, exclusively owned file in `dir` with a name derived
// from `base`; the mode 0666 is reduced by the process umask.
Descriptor create_temporary(const std::string &dir, const std::string &base, std::string &name)
{
    static std::atomic<unsigned> serial{0};
    // Keep the name within NAME_MAX whatever the length of the target's name.
    std::string stem = ".";
    stem.append(base, 0, 200).append(".tmp-").append(std::to_string(::getpid())).append("-");
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir;
        name.append("/").append(stem).append(std::to_string(serial.fetch_add(1)));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            return Descriptor(fd);
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return Descriptor();
}

void sync_directory(const std::string &dir)
{
    Descriptor d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0)
        ::fsync(d.fd);  // best effort: the rename itself has already succeeded
}

}  // namespace

bool replace_file(const char *path, std::span<const unsigned char> data)
{
    if (path == nullptr || *path == '\0')
        return false;
    const std::string target = resolve_target(path);

    struct stat old {};
    bool exists = false;
    if (::stat(target.c_str(), &old) == 0) {
        // A file its owner made read-only stays as it is, as an in-place
        // write would have been refused too.
        if (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
        exists = true;
    } else if (errno != ENOENT) {
        return false;
    }

    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return false;

    std::string temporary;
    Descriptor out = create_temporary(dir, base, temporary);
    if (out.fd < 0)
        return false;

    bool ok = true;
    if (exists) {
        // The owner can be kept only with the privilege to change it; the
        // permission bits are restored after it, as a change of owner may
        // clear set-id bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(out.fd, old.st_uid, old.st_gid);
        ok = ::fchmod(out.fd, old.st_mode & 07777) == 0;
    }
    ok = ok && write_all(out.fd, data);
    ok = ok && ::fsync(out.fd) == 0;
    ok = out.close() && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    sync_directory(dir);
    return true;
}

}  // namespace korva::file_io

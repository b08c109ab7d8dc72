#include "config_io.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::config {
namespace {

struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { if (fd >= 0) ::close(fd); }
    // The explicit close reports its result: buffered data may fail only here.
    bool close()
    {
        const int f = fd;
        fd = -1;
        return f >= 0 && ::close(f) == 0;
    }
};

bool write_all(int fd, std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

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

Descriptor create_temporary(const std::string &dir, const std::string &base, std::string &name)
{
    static std::atomic<unsigned> serial{0};
    const std::string stem = "." + base.substr(0, 200) + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = dir + "/" + stem + std::to_string(serial.fetch_add(1));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
            return Descriptor(fd);
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return Descriptor();
}

}  // namespace

ReadStatus read_file(const char *path, std::string &out)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    Descriptor in(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (in.fd < 0)
        return errno == ENOENT ? ReadStatus::missing : ReadStatus::failed;
    struct stat st {};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return ReadStatus::failed;

    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadStatus::failed;
        if (n == 0)
            return ReadStatus::ok;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool replace_file(const char *path, std::string_view data, bool make_parent)
{
    if (path == nullptr || *path == '\0')
        return false;
    const std::string target = resolve_target(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return false;
    if (make_parent && ::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return false;

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

    std::string temporary;
    Descriptor out = create_temporary(dir, base, temporary);
    if (out.fd < 0)
        return false;

    bool ok = true;
    if (exists) {
        // Owner first: a change of owner may clear set-id bits.
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
    Descriptor parent(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.fd >= 0)
        ::fsync(parent.fd);  // best effort: the new file is already in place
    return true;
}

}  // namespace korva::config

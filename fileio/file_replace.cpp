#include "fileio/file_replace.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::fileio {
namespace {

bool fail(Replacement &r, Step step, int number) noexcept
{
    r.error = Error{step, number};
    return false;
}

// Copies `text` into `out`; false when it does not fit.
bool copy_name(char (&out)[PATH_MAX], const char *text) noexcept
{
    const std::size_t length = std::strlen(text);
    if (length >= sizeof out)
        return false;
    std::memcpy(out, text, length + 1);
    return true;
}

// The directory part of `path` ("." or "/" where it has none of its own).
void directory_of(const char *path, char (&out)[PATH_MAX]) noexcept
{
    const char *slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::strcpy(out, ".");
    } else if (slash == path) {
        std::strcpy(out, "/");
    } else {
        const auto length = static_cast<std::size_t>(slash - path);
        std::memcpy(out, path, length);
        out[length] = '\0';
    }
}

const char *base_of(const char *path) noexcept
{
    const char *slash = std::strrchr(path, '/');
    return slash == nullptr ? path : slash + 1;
}

// Six letters or digits that differ between calls and between processes.
void unique_suffix(char (&out)[7]) noexcept
{
    static std::atomic<std::uint64_t> serial{0};
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t x = serial.fetch_add(1) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(::getpid()) << 32 ^
                      static_cast<std::uint64_t>(now.tv_nsec) ^ static_cast<std::uint64_t>(now.tv_sec) << 20;
    // splitmix64 finaliser: every input bit reaches every letter.
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    for (int i = 0; i < 6; ++i) {
        out[i] = digits[x % 62];
        x /= 62;
    }
    out[6] = '\0';
}

// Creates ".NAME.korva-XXXXXX" in `dir`: new, exclusively ours, mode 0666
// less the umask. At most 200 bytes of NAME are used, so the temporary's
// name stays within NAME_MAX whatever the target's.
bool create_temporary(Replacement &r, const char *dir, const char *base) noexcept
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[7];
        unique_suffix(suffix);
        const int length = std::snprintf(r.temporary, sizeof r.temporary, "%s/.%.200s.korva-%s", dir, base, suffix);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof r.temporary) {
            r.temporary[0] = '\0';
            return fail(r, Step::temporary, ENAMETOOLONG);
        }
        r.fd = ::open(r.temporary, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        if (r.fd >= 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    const int number = errno;
    r.temporary[0] = '\0';
    return fail(r, Step::temporary, number);
}

// The replaced file's owner, where this process may give it (root may; for
// anyone else the group alone where they belong to it), then its permission
// bits without set-id and sticky bits: after a change of owner, so that the
// change cannot clear them.
bool keep_owner_and_mode(Replacement &r, const struct stat &old) noexcept
{
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(r.fd, old.st_uid, old.st_gid) != 0)
            (void)!::fchown(r.fd, static_cast<uid_t>(-1), old.st_gid);
    }
    if (::fchmod(r.fd, old.st_mode & 0777) != 0)
        return fail(r, Step::mode, errno);
    return true;
}

void sync_directory(const char *dir) noexcept
{
    const int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

const char *step_text(Step step) noexcept
{
    switch (step) {
    case Step::none: return "no error";
    case Step::name: return "not a usable file name";
    case Step::examine: return "cannot examine the file";
    case Step::is_directory: return "is a directory";
    case Step::not_regular: return "not a regular file";
    case Step::not_writable: return "no permission to replace the file";
    case Step::open: return "cannot open";
    case Step::temporary: return "cannot create a temporary file in its directory";
    case Step::mode: return "cannot give the temporary file the old file's permissions";
    case Step::write: return "write error";
    case Step::sync: return "cannot flush the file to disk";
    case Step::close: return "error closing the file";
    case Step::rename: return "cannot rename the finished file into place";
    }
    return "unknown error";
}

bool write_all(int fd, const void *data, std::size_t size) noexcept
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool begin_replacement(const char *path, NonRegular rule, Replacement &r) noexcept
{
    r = Replacement{};
    if (path == nullptr || *path == '\0')
        return fail(r, Step::name, ENOENT);
    if (!copy_name(r.target, path))
        return fail(r, Step::name, ENAMETOOLONG);

    struct stat link {};
    if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path, resolved) != nullptr)
            std::memcpy(r.target, resolved, std::strlen(resolved) + 1);
    }

    struct stat old {};
    bool exists = false;
    if (::stat(r.target, &old) == 0) {
        exists = true;
        if (S_ISDIR(old.st_mode))
            return fail(r, Step::is_directory, 0);
        if (!S_ISREG(old.st_mode)) {
            if (rule == NonRegular::refuse)
                return fail(r, Step::not_regular, 0);
            // A FIFO waits here for its reader, as any writer would.
            r.fd = ::open(r.target, O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (r.fd < 0)
                return fail(r, Step::open, errno);
            r.direct = true;
            return true;
        }
        if (::faccessat(AT_FDCWD, r.target, W_OK, AT_EACCESS) != 0)
            return fail(r, Step::not_writable, errno);
    } else if (errno != ENOENT) {
        return fail(r, Step::examine, errno);
    }

    const char *base = base_of(r.target);
    if (*base == '\0' || std::strcmp(base, ".") == 0 || std::strcmp(base, "..") == 0)
        return fail(r, Step::name, EISDIR);
    char dir[PATH_MAX];
    directory_of(r.target, dir);

    if (!create_temporary(r, dir, base))
        return false;
    if (exists && !keep_owner_and_mode(r, old)) {
        const Error error = r.error;
        abandon_replacement(r);
        r.error = error;
        return false;
    }
    return true;
}

bool commit_replacement(Replacement &r) noexcept
{
    if (r.fd < 0)
        return fail(r, Step::close, EBADF);
    if (r.direct) {
        const int fd = r.fd;
        r.fd = -1;
        return ::close(fd) == 0 || fail(r, Step::close, errno);
    }

    Error error;
    if (::fsync(r.fd) != 0)
        error = Error{Step::sync, errno};
    const int fd = r.fd;
    r.fd = -1;
    if (::close(fd) != 0 && error.step == Step::none)
        error = Error{Step::close, errno};
    if (error.step == Step::none && ::rename(r.temporary, r.target) != 0)
        error = Error{Step::rename, errno};
    if (error.step != Step::none) {
        abandon_replacement(r);
        r.error = error;
        return false;
    }
    r.temporary[0] = '\0';
    char dir[PATH_MAX];
    directory_of(r.target, dir);
    sync_directory(dir);
    return true;
}

void abandon_replacement(Replacement &r) noexcept
{
    if (r.fd >= 0)
        ::close(r.fd);
    r.fd = -1;
    if (r.temporary[0] != '\0')
        ::unlink(r.temporary);
    r.temporary[0] = '\0';
}

bool replace_file(const char *path, const void *data, std::size_t size, NonRegular rule, Error *why) noexcept
{
    Replacement r;
    bool ok = begin_replacement(path, rule, r);
    if (ok && !write_all(r.fd, data, size)) {
        r.error = Error{Step::write, errno};
        abandon_replacement(r);
        ok = false;
    }
    ok = ok && commit_replacement(r);
    if (why != nullptr)
        *why = r.error;
    return ok;
}



namespace {

// The directory part of `path` into `dir` ("." when it has none) and a
// pointer to its last name; false when it does not fit.
bool split_name(const char *path, char (&dir)[PATH_MAX], const char *&leaf) noexcept
{
    const char *slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        std::memcpy(dir, ".", 2);
        leaf = path;
        return true;
    }
    const std::size_t length = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    if (length >= PATH_MAX)
        return false;
    std::memcpy(dir, path, length);
    dir[length] = '\0';
    leaf = slash + 1;
    return true;
}

}  // namespace

bool same_target(const char *a, const char *b) noexcept
{
    struct stat sa {}, sb {};
    const bool a_exists = ::stat(a, &sa) == 0, b_exists = ::stat(b, &sb) == 0;
    if (a_exists || b_exists)
        return a_exists && b_exists && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    char dir_a[PATH_MAX], dir_b[PATH_MAX];
    const char *leaf_a = nullptr, *leaf_b = nullptr;
    if (!split_name(a, dir_a, leaf_a) || !split_name(b, dir_b, leaf_b) || std::strcmp(leaf_a, leaf_b) != 0)
        return false;
    return ::stat(dir_a, &sa) == 0 && ::stat(dir_b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace korva::fileio

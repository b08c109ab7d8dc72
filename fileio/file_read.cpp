#include "file_read.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::fileio {

ReadStatus read_file(const char *path, std::string &out, std::size_t limit, int *why)
{
    int error = 0;
    if (why == nullptr)
        why = &error;
    *why = 0;
    out.clear();
    if (path == nullptr || *path == '\0') {
        *why = ENOENT;
        return ReadStatus::failed;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *why = errno;
        return errno == ENOENT ? ReadStatus::missing : ReadStatus::failed;
    }
    struct stat st {};
    ReadStatus status = ReadStatus::ok;
    if (::fstat(fd, &st) != 0) {
        *why = errno;
        status = ReadStatus::failed;
    } else if (!S_ISREG(st.st_mode)) {
        status = ReadStatus::failed;
    } else if (static_cast<unsigned long long>(st.st_size) > limit) {
        status = ReadStatus::too_large;
    }

    // The size is checked again while reading: a file may grow after fstat.
    char buffer[65536];
    while (status == ReadStatus::ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *why = errno;
            status = ReadStatus::failed;
        }
        if (n <= 0)
            break;
        if (static_cast<std::size_t>(n) > limit - out.size()) {
            status = ReadStatus::too_large;
            break;
        }
        try {
            out.append(buffer, static_cast<std::size_t>(n));
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    ::close(fd);
    if (status == ReadStatus::too_large)
        std::string().swap(out);
    return status;
}

std::string too_large_text(std::size_t limit)
{
    if (limit % (std::size_t{1} << 20) == 0)
        return "is larger than " + std::to_string(limit >> 20) + " MiB";
    if (limit % 1024 == 0)
        return "is larger than " + std::to_string(limit >> 10) + " KiB";
    return "is larger than " + std::to_string(limit) + " bytes";
}

}  // namespace korva::fileio

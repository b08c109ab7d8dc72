#include "file_read.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::fileio {

ReadStatus read_file(const char *path, std::string &out)
{
    if (path == nullptr || *path == '\0')
        return ReadStatus::failed;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? ReadStatus::missing : ReadStatus::failed;
    struct stat st {};
    ReadStatus status = ReadStatus::ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        status = ReadStatus::failed;

    out.clear();
    char buffer[65536];
    while (status == ReadStatus::ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            status = ReadStatus::failed;
        if (n <= 0)
            break;
        try {
            out.append(buffer, static_cast<std::size_t>(n));
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
    ::close(fd);
    return status;
}

}  // namespace korva::fileio

#include "config_io.h"

#include "fileio/file_replace.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::config {

ReadStatus read_file(const char *path, std::string &out)
{
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
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return status;
}

bool replace_file(const char *path, std::string_view data, bool make_parent)
{
    if (path == nullptr || *path == '\0')
        return false;
    if (make_parent) {
        const std::string target = path;
        const std::size_t slash = target.rfind('/');
        if (slash != std::string::npos && slash > 0 && ::mkdir(target.substr(0, slash).c_str(), 0755) != 0 &&
            errno != EEXIST)
            return false;
    }
    return korva::fileio::replace_file(path, data.data(), data.size(), korva::fileio::NonRegular::refuse);
}

}  // namespace korva::config

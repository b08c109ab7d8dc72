#include "follow_lock.h"

#include "fileio/directories.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace korva::sinkfiles {

namespace {

struct flock whole_file(short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

// The pid holding a lock that conflicts with a write lock on `fd`: 0 for
// none, -1 for a holder whose pid this process cannot see (another pid
// namespace).
pid_t holder_of(int fd)
{
    struct flock probe = whole_file(F_WRLCK);
    if (fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type == F_UNLCK)
        return 0;
    return probe.l_pid > 0 ? probe.l_pid : -1;
}

}  // namespace

std::string follow_lock_path()
{
    const std::string runtime = korva::fileio::xdg_folder("XDG_RUNTIME_DIR", nullptr);
    return runtime.empty() ? runtime : runtime + "/korva/follow.lock";
}

int follow_lock_take(pid_t &holder, std::string &problem)
{
    holder = 0;
    const std::string path = follow_lock_path();
    if (path.empty()) {
        problem = "cannot tell where Korva's runtime files go: XDG_RUNTIME_DIR is not set to an absolute path";
        return -1;
    }
    const std::string folder = path.substr(0, path.rfind('/'));
    if (int why = 0; !korva::fileio::make_directories(folder.c_str(), 0700, &why)) {
        problem = folder + ": cannot create the folder: " + std::strerror(why);
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        problem = path + ": cannot open the lock file: " + std::strerror(errno);
        return -1;
    }
    struct flock lock = whole_file(F_WRLCK);
    if (fcntl(fd, F_SETLK, &lock) == 0)
        return fd;
    const int why = errno;
    if (why == EACCES || why == EAGAIN)
        holder = holder_of(fd);
    if (holder == 0)   // not another holder, or it ended just now: say why
        problem = path + ": cannot take the lock: " + std::strerror(why);
    close(fd);
    return -1;
}

pid_t follow_running()
{
    const std::string path = follow_lock_path();
    if (path.empty())
        return 0;
    // Asking takes nothing: a descriptor open for reading is enough.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    const pid_t pid = holder_of(fd);
    close(fd);
    return pid;
}

}  // namespace korva::sinkfiles

#include "follow_status.h"

#include "sinkfiles/follow_lock.h"
#include "sinkfiles/follow_state.h"

#include <sys/stat.h>

namespace korva_control {

std::string follow_title_text()
{
    // A state left by a follow that has ended says nothing about now.
    if (korva::sinkfiles::follow_running() == 0) {
        const std::string path = korva::sinkfiles::follow_state_path();
        struct stat left {};
        return !path.empty() && stat(path.c_str(), &left) == 0 ? "; profiles: korva sink follow is not running" : "";
    }
    // The file is read again only when it was replaced: its inode or
    // modification time changed.
    static struct stat seen {};
    static std::string text;
    const std::string path = korva::sinkfiles::follow_state_path();
    struct stat now {};
    if (path.empty() || stat(path.c_str(), &now) != 0) {
        seen = {};
        text.clear();
        return text;
    }
    if (now.st_ino != seen.st_ino || now.st_mtim.tv_sec != seen.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != seen.st_mtim.tv_nsec) {
        seen = now;
        const std::string summary = korva::sinkfiles::follow_state_summary(korva::sinkfiles::read_follow_state(path));
        text = summary.empty() ? std::string() : "; " + summary;
    }
    return text;
}

}  // namespace korva_control

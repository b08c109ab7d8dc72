#include "directories.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::fileio {

namespace {

bool is_directory(const char *path) noexcept
{
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool fail(int *why, int number) noexcept
{
    if (why != nullptr)
        *why = number;
    return false;
}

}  // namespace

bool make_directories(const char *path, mode_t mode, int *why) noexcept
{
    if (path == nullptr || *path == '\0')
        return fail(why, ENOENT);
    const std::size_t length = strnlen(path, PATH_MAX);
    if (length >= PATH_MAX)
        return fail(why, ENAMETOOLONG);
    if (is_directory(path))
        return true;
    // Each prefix ending before a slash, then the whole path: "a/b/c" makes
    // "a", "a/b" and "a/b/c"; one that exists already is passed over.
    char prefix[PATH_MAX];
    std::memcpy(prefix, path, length + 1);
    for (std::size_t end = 1; end <= length; ++end) {
        if (end != length && path[end] != '/')
            continue;
        prefix[end] = '\0';
        if (::mkdir(prefix, mode) != 0 && errno != EEXIST)
            return fail(why, errno);
        prefix[end] = path[end];
    }
    return is_directory(path) ? true : fail(why, ENOTDIR);
}

std::string home_directory(HomeFrom from)
{
    const char *home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    if (from == HomeFrom::environment)
        return {};
    struct passwd entry {};
    struct passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

std::string xdg_folder(const char *variable, const char *home_part)
{
    const char *value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const std::string home = home_part == nullptr ? std::string() : home_directory();
    if (home.empty() || home[0] != '/')
        return {};
    return home + "/" + home_part;
}

}  // namespace korva::fileio

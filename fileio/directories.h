/*
 * Making directories and finding the home directory: the one way every
 * program here creates the folders its files go into (the player's ~/.xmms,
 * the PipeWire fragment folder, LV2 bundles, batch and demo outputs).
 */
#ifndef KORVA_FILEIO_DIRECTORIES_H
#define KORVA_FILEIO_DIRECTORIES_H

#include <string>

#include <sys/types.h>

namespace korva::fileio {

// Creates `path` and every missing directory above it, each with `mode`
// less the umask. True when `path` is a directory afterwards (it may have
// been one before). Otherwise `why`, when given, holds the errno value of the
// step that failed: ENOTDIR when something that is not a directory stands in
// the way, ENAMETOOLONG for a path of PATH_MAX bytes or more. Allocates
// nothing.
bool make_directories(const char *path, mode_t mode = 0777, int *why = nullptr) noexcept;

// Where the user's home directory may come from. The player's files and the
// PipeWire fragment follow the C library's rule (the password database when
// $HOME is unset); `korva preset export-lv2` writes under $HOME only, and asks
// for a directory without it.
enum class HomeFrom { environment, environment_or_password_database };

// The user's home directory: $HOME when set and not empty, else (when the
// rule allows) the one the password database gives the real user, else empty.
std::string home_directory(HomeFrom from = HomeFrom::environment_or_password_database);

// A base folder of the XDG rules: $VARIABLE when it is an absolute path,
// else `home_part` in the home directory (".config" for XDG_CONFIG_HOME;
// null where there is no such default, as for XDG_RUNTIME_DIR). Empty when
// neither gives an absolute path.
std::string xdg_folder(const char *variable, const char *home_part);

}  // namespace korva::fileio

#endif

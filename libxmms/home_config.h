// Where the player keeps its configuration by default: ~/.xmms/config, the
// home directory as fileio/directories.h finds it. The stand-in's default
// file and Audacious' one-time import both start from this name.
#ifndef KORVA_LIBXMMS_HOME_CONFIG_H
#define KORVA_LIBXMMS_HOME_CONFIG_H

#include <string>

namespace korva::config {

// ~/.xmms/config; empty when there is no home directory at all.
std::string home_config_name();

}  // namespace korva::config

#endif

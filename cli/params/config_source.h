// Parameters from a player configuration file: the keys of section
// "xmkorva-5" that are present overwrite their fields; absent keys leave them.
// A file with none of them changes nothing and gets a warning on stderr.
#ifndef KORVA_CLI_CONFIG_SOURCE_H
#define KORVA_CLI_CONFIG_SOURCE_H

#include "cli/common/status.h"

#include "engine/korva.h"

#include <string>

Status apply_config(const std::string &path, KorvaParams &params);

#endif

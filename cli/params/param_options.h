// The options that build a parameter block (--config, --preset, --set),
// shared by every subcommand that takes one.
#ifndef KORVA_CLI_PARAM_OPTIONS_H
#define KORVA_CLI_PARAM_OPTIONS_H

#include "param_sources.h"

#include <CLI/CLI.hpp>

void add_param_options(CLI::App *command, ParamSources &sources);

#endif

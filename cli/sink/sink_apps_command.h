// korva sink apps: the programs whose streams bypass Korva
// (sinkfiles/sink_apps.h; korva sink follow applies the list, sink_bypass.h).
//   apps exclude NAME | include NAME | list
#ifndef KORVA_CLI_SINK_APPS_COMMAND_H
#define KORVA_CLI_SINK_APPS_COMMAND_H

#include "cli/common/status.h"

#include <CLI/CLI.hpp>

#include <string>

struct SinkAppsOptions {
    std::string name;
    CLI::App *apps = nullptr;
    CLI::App *exclude = nullptr;
    CLI::App *include = nullptr;
    CLI::App *list = nullptr;
};

// Adds "apps" under the sink subcommand.
void add_sink_apps_command(CLI::App *sink, SinkAppsOptions &options);

Status run_sink_apps_command(const SinkAppsOptions &options);

#endif

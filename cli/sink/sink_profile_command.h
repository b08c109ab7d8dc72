// korva sink profile: a preset per output device (sink_profiles.h).
//   profile set DEVICE PRESET | set --fallback PRESET
//   profile remove DEVICE | remove --fallback
//   profile list
// korva sink follow (sink_follow.h), korva sink apps (sink_apps_command.h), and the outputs `korva sink status`
// lists for DEVICE.
#ifndef KORVA_CLI_SINK_PROFILE_COMMAND_H
#define KORVA_CLI_SINK_PROFILE_COMMAND_H

#include "cli/common/status.h"
#include "sink_apps_command.h"

#include <CLI/CLI.hpp>

#include <string>

struct SinkProfileOptions {
    std::string device, preset, fallback;
    bool remove_fallback = false;
    CLI::App *profile = nullptr;
    CLI::App *set = nullptr;
    CLI::App *remove = nullptr;
    CLI::App *list = nullptr;
    CLI::App *follow = nullptr;
    SinkAppsOptions apps;
};

// Adds "profile", "follow" and "apps" under the sink subcommand.
void add_sink_profile_commands(CLI::App *sink, SinkProfileOptions &options);

// Whether one of them was given on the command line.
bool sink_profile_parsed(const SinkProfileOptions &options);

Status run_sink_profile_command(const SinkProfileOptions &options);

// For `korva sink status`: the outputs PipeWire has, each with its routes,
// the one Korva plays into, and what korva sink follow reports.
std::string sink_outputs_text();

#endif

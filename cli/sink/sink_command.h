// korva sink: Korva as a PipeWire sink for every sound on the desktop.
//   install [--preset FILE] [--set FIELD=VALUE]...   write the configuration fragment
//   remove                                            take it away
//   status                                            installed? running?
//   set [--no-save] FIELD=VALUE...                    change the running sink's controls and save them
//   pulse-line [--preset FILE] [--set FIELD=VALUE]... the PulseAudio equivalent
//   compare korva|bypass|off                          loudness-matched A/B (sink_compare.h)
//   migrate                                           give an older fragment the compare node
//   profile ..., follow                               a preset per output device (sink_profile_command.h)
#ifndef KORVA_CLI_SINK_COMMAND_H
#define KORVA_CLI_SINK_COMMAND_H

#include "cli/params/param_sources.h"
#include "cli/common/status.h"
#include "sink_profile_command.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

struct SinkOptions {
    ParamSources sources;                  // install, pulse-line
    std::vector<std::string> assignments;  // set
    bool no_save = false;                  // set --no-save
    CLI::App *install = nullptr;
    CLI::App *remove = nullptr;
    CLI::App *status = nullptr;
    CLI::App *set = nullptr;
    CLI::App *pulse_line = nullptr;
    std::string compare_side;              // compare
    CLI::App *compare = nullptr;
    CLI::App *migrate = nullptr;
    SinkProfileOptions profile;            // profile, follow
};

// Adds "sink" and its subcommands to the program; their values land in `options`.
CLI::App *add_sink_command(CLI::App &app, SinkOptions &options);

// Runs whichever sink subcommand was given.
Status run_sink_command(const SinkOptions &options);

#endif

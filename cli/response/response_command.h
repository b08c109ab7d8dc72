// korva response: the chain's magnitude response for a parameter block, as a
// PNG plot and/or a CSV table.
#ifndef KORVA_CLI_RESPONSE_COMMAND_H
#define KORVA_CLI_RESPONSE_COMMAND_H

#include "cli/params/param_sources.h"
#include "cli/common/status.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

struct ResponseOptions {
    ParamSources sources;
    int32_t rate = 44100;
    bool native_rate = false;
    std::string png_path;   // empty: no plot
    std::string csv_path;   // empty: no table
    bool quiet = false;
};

// Adds the subcommand to `app`, filling `options` when it is parsed.
CLI::App *add_response_command(CLI::App &app, ResponseOptions &options);

Status run_response(const ResponseOptions &options);

#endif

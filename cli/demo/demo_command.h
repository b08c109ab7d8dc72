// korva demo [DIR]: DIR/demo-in.wav and, processed with the defaults, DIR/demo-out.wav.
#ifndef KORVA_CLI_DEMO_COMMAND_H
#define KORVA_CLI_DEMO_COMMAND_H

#include "cli/common/status.h"

#include <CLI/CLI.hpp>

#include <string>

struct DemoOptions {
    std::string directory = "demo-out";
    bool quiet = false;
};

CLI::App *add_demo_command(CLI::App &app, DemoOptions &options);

Status run_demo(const DemoOptions &options);

#endif

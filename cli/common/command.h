// How a subcommand joins korva: a function that adds it and its options to
// the parser, and a function that runs it from those options once parsed.
// Every subcommand folder offers the pair
//   CLI::App *add_NAME_command(CLI::App &app, NameOptions &options);
//   Status run_NAME(const NameOptions &options);
// and main.cpp lists them once with register_command.
#ifndef KORVA_CLI_COMMAND_H
#define KORVA_CLI_COMMAND_H

#include "status.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>

struct Command {
    CLI::App *parser = nullptr;     // parsed() says whether this one was given
    std::function<Status()> run;
};

// Adds a subcommand to `app`; the options it fills live as long as the Command.
template <typename Options>
Command register_command(CLI::App &app, CLI::App *(*add)(CLI::App &, Options &), Status (*run)(const Options &))
{
    auto options = std::make_shared<Options>();
    CLI::App *parser = add(app, *options);
    return {parser, [options, run] { return run(*options); }};
}

#endif

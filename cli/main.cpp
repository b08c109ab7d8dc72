// korva: the Korva effect chain on audio files, and preset files by hand.
#include "cli/common/command.h"
#include "cli/common/interrupt.h"
#include "cli/demo/demo_command.h"
#include "cli/preset/preset_command.h"
#include "cli/process_options.h"
#include "cli/response/response_command.h"
#include "cli/sink/sink_command.h"
#include "korva_version.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <new>

namespace {

// Usage errors (a missing argument, an unknown option, a bad value) end with
// status 2, as command-line tools conventionally do; --help and --version
// with 0.
int usage_exit(const CLI::App &app, const CLI::ParseError &error)
{
    return app.exit(error) == 0 ? 0 : 2;
}

// The leading words of the command line name subcommands; CLI11 reports a
// word that names none as "A subcommand is required". This names the word
// and the subcommands that were possible there instead, or gives "".
std::string unknown_subcommand(CLI::App &app, int argc, char **argv)
{
    CLI::App *command = &app;
    std::string path;   // the subcommands so far, e.g. " preset"
    for (int i = 1; i < argc && argv[i][0] != '-'; ++i) {
        const std::vector<CLI::App *> choices = command->get_subcommands({});
        if (choices.empty())
            return {};
        CLI::App *next = nullptr;
        std::string names;
        for (CLI::App *choice : choices) {
            if (choice->check_name(argv[i]))
                next = choice;
            names += (names.empty() ? "" : ", ") + choice->get_name();
        }
        if (next == nullptr)
            return (path.empty() ? "" : path.substr(1) + ": ") + "unknown subcommand '" + argv[i] +
                   "'; use one of " + names + " (run korva" + path + " --help for more)";
        command = next;
        path += " " + next->get_name();
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    install_interrupt_handlers();

    CLI::App app{"Korva stereo sound enhancer: the effect chain on audio files."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "korva " KORVA_RELEASE_VERSION);

    // The subcommands in the order --help lists them.
    const Command commands[] = {
        register_command(app, add_process_command, run_process),
        register_command(app, add_demo_command, run_demo),
        register_command(app, add_preset_command, run_preset),
        register_command(app, add_sink_command, run_sink_command),
        register_command(app, add_response_command, run_response),
    };

    if (const std::string unknown = unknown_subcommand(app, argc, argv); !unknown.empty()) {
        std::fprintf(stderr, "korva: %s\n", unknown.c_str());
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        return usage_exit(app, error);
    }

    Status status;
    try {
        for (const Command &command : commands)
            if (command.parser->parsed())
                status = command.run();
    } catch (const std::bad_alloc &) {
        status = failure("out of memory");
    }

    std::fflush(stdout);
    if (!status.ok())
        std::fprintf(stderr, "korva: %s\n", status.message.c_str());
    return status.exit_code;
}

// korva: the Korva effect chain on audio files, and preset files by hand.
#include "cli/common/commands.h"
#include "cli/common/interrupt.h"
#include "cli/common/param_options.h"
#include "cli/common/preset_library.h"
#include "cli/process/process_options.h"
#include "cli/response/response_command.h"
#include "cli/sink/sink_command.h"

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
    app.set_version_flag("--version", "korva " KORVA_VERSION);

    ProcessOptions process_options;
    std::string demo_directory = "demo-out";
    std::string preset_path;
    ParamSources sources;
    bool quiet = false;
    ResponseOptions response_options;

    CLI::App *process = add_process_command(app, process_options);

    CLI::App *demo = app.add_subcommand("demo", "synthesise a demo clip and process it with the defaults");
    demo->add_option("DIR", demo_directory, "where demo-in.wav and demo-out.wav go")->capture_default_str();
    demo->add_flag("-q,--quiet", quiet, "print no summary");

    CLI::App *preset = app.add_subcommand("preset", "show or write preset files");
    preset->require_subcommand(1);
    CLI::App *show = preset->add_subcommand("show", "print a preset's byte order and every field");
    show->add_option("FILE", preset_path, "preset file, or a factory preset's name")->required();
    CLI::App *list = preset->add_subcommand("list", "name and describe the factory presets");
    list->footer("They are read from ../share/korva/presets seen from the program's folder (PREFIX/share/korva/"
                 "presets when installed); --preset NAME and `preset show NAME` take these names, and a file "
                 "of the same name wins.");
    CLI::App *save = preset->add_subcommand("save", "write a preset from the defaults and the options");
    save->add_option("FILE", preset_path, "preset file to write")->required();
    add_param_options(save, sources);
    std::string preset_name;
    std::string bundle_directory;
    CLI::App *export_lv2 = preset->add_subcommand("export-lv2", "add a preset file to a bundle of LV2 presets");
    export_lv2->add_option("FILE", preset_path, "preset file to export")->required();
    export_lv2->add_option("DIR", bundle_directory, "the bundle (default: ~/.lv2/korva-presets.lv2)");
    export_lv2->add_option("--name", preset_name, "the preset's name (default: FILE without its extension)");
    export_lv2->footer("The preset's URI is urn:korva:preset:NAME. Values outside a control's range are "
                       "clamped, with a warning.");
    SinkOptions sink_options;
    CLI::App *sink = add_sink_command(app, sink_options);

    CLI::App *response = add_response_command(app, response_options);

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
        if (process->parsed())
            status = run_process(process_options);
        else if (demo->parsed())
            status = run_demo(demo_directory, quiet);
        else if (show->parsed())
            status = run_preset_show(preset_path);
        else if (list->parsed())
            status = run_preset_list();
        else if (save->parsed())
            status = run_preset_save(preset_path, sources);
        else if (export_lv2->parsed())
            status = run_preset_export_lv2(preset_path, preset_name, bundle_directory);
        else if (sink->parsed())
            status = run_sink_command(sink_options);
        else if (response->parsed())
            status = run_response(response_options);
    } catch (const std::bad_alloc &) {
        status = failure("out of memory");
    }

    std::fflush(stdout);
    if (!status.ok())
        std::fprintf(stderr, "korva: %s\n", status.message.c_str());
    return status.exit_code;
}

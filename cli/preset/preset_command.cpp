#include "preset_command.h"

#include "cli/common/atomic_output.h"
#include "cli/params/param_options.h"
#include "cli/params/preset_library.h"
#include "cli/params/preset_text.h"
#include "engine/param_fields.h"
#include "preset_file/preset_write.h"

#include <cstdio>

namespace {

Status run_preset_show(const std::string &name_or_path)
{
    PresetChoice choice;
    KorvaPresetInfo info;
    if (Status status = read_preset(name_or_path, PresetArgument::command_line, "", choice, info); !status.ok())
        return status;

    std::string text = "preset: " + preset_choice_text(choice) + "\n" + byte_order_line(info);
    if (info.file_size > KORVA_PRESET_FILE_SIZE)
        text += std::to_string(info.file_size - KORVA_PRESET_FILE_SIZE) +
                " bytes after the parameter block are ignored\n";
    for (const KorvaParamField &field : korva_param_fields)
        text += std::string(field.name) + "=" + std::to_string(korva_param_get(&info.params, &field)) + "\n";
    std::fputs(text.c_str(), stdout);
    return success();
}

Status run_preset_save(const std::string &path, const ParamSources &sources)
{
    KorvaParams params;
    PresetChoice preset;
    if (Status status = build_params(sources, params, &preset); !status.ok())
        return status;
    // Through a temporary file, so a failed save keeps an existing preset; a
    // preset is a file of its own, never written into a device or a FIFO.
    korva::fileio::Error error;
    if (!korva::preset::write_file(params, path.c_str(), &error))
        return failure(path + ": cannot write the preset: " + replacement_reason(error));
    if (!preset.path.empty())
        std::printf("%s: written, starting from the %s\n", path.c_str(), preset_choice_text(preset).c_str());
    return success();
}

} // namespace

CLI::App *add_preset_command(CLI::App &app, PresetOptions &options)
{
    CLI::App *preset = app.add_subcommand("preset", "show or write preset files");
    preset->require_subcommand(1);
    options.show = preset->add_subcommand("show", "print a preset's byte order and every field");
    options.show->add_option("FILE", options.path, "preset file, or a factory preset's name")->required();
    options.list = preset->add_subcommand("list", "name and describe the factory presets");
    options.list->footer("They are read from ../share/korva/presets seen from the program's folder (PREFIX/share/"
                         "korva/presets when installed); --preset NAME and `preset show NAME` take these names. "
                         "A NAME holding a '/', or naming anything in the working folder (a file, a folder, a "
                         "link, even a broken one), is that file instead, and its failure to read is an error.");
    options.save = preset->add_subcommand("save", "write a preset from the defaults and the options");
    options.save->add_option("FILE", options.path, "preset file to write")->required();
    add_param_options(options.save, options.sources);
    options.export_lv2 = preset->add_subcommand("export-lv2", "add a preset file to a bundle of LV2 presets");
    options.export_lv2->add_option("FILE", options.path, "preset file to export")->required();
    options.export_lv2->add_option("DIR", options.bundle_directory, "the bundle (default: ~/.lv2/korva-presets.lv2)");
    options.export_lv2->add_option("--name", options.name, "the preset's name (default: FILE without its extension)");
    options.export_lv2->footer("The preset's URI is urn:korva:preset:NAME. Values outside a control's range are "
                               "clamped, with a warning.");
    return preset;
}

Status run_preset(const PresetOptions &options)
{
    if (options.show->parsed())
        return run_preset_show(options.path);
    if (options.list->parsed())
        return run_preset_list();
    if (options.save->parsed())
        return run_preset_save(options.path, options.sources);
    return run_preset_export_lv2(options.path, options.name, options.bundle_directory);
}

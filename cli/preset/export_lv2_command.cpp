// korva preset export-lv2: a preset file as an LV2 preset of the plug-in
// urn:korva:enhancer, in a bundle of presets that other exports add to.
#include "preset_command.h"

#include "cli/common/atomic_output.h"
#include "fileio/directories.h"
#include "fileio/file_read.h"
#include "plugin_core/lv2_text.h"
#include "plugin_core/ports.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// The file name without its directory and its last extension.
std::string default_name(const std::string &preset_path)
{
    const std::filesystem::path path(preset_path);
    return path.stem().string();
}

Status default_directory(std::string &directory)
{
    const std::string home = korva::fileio::home_directory(korva::fileio::HomeFrom::environment);
    if (home.empty())
        return failure("HOME is not set: name the bundle directory (korva preset export-lv2 FILE DIR)");
    directory = home + "/.lv2/korva-presets.lv2";
    return success();
}

// Port values must lie within the ports' ranges; anything else is clamped,
// and said so field by field.
void clamp_to_port_ranges(const std::string &preset_path, KorvaParams &params)
{
    clamp_to_ports(params, [&](int i, int32_t was, int32_t kept) {
        std::fprintf(stderr, "korva: warning: %s: %s=%d is outside the port's range %d..%d; exported as %d\n",
                     preset_path.c_str(), korva_param_fields[i].name, was, korva_controls[i].minimum,
                     korva_controls[i].maximum, kept);
    });
}

} // namespace

Status run_preset_export_lv2(const std::string &preset_path, const std::string &name_option,
                             const std::string &directory_option)
{
    KorvaParams params;
    korva_default_params(&params);
    PresetChoice choice;
    if (Status status = apply_preset(preset_path, PresetArgument::command_line, params, choice); !status.ok())
        return status;

    const std::string name = name_option.empty() ? default_name(preset_path) : name_option;
    if (name.empty())
        return failure(preset_path + ": no preset name in the file name: give one with --name");
    if (lv2_preset_file_name(name).size() > 255)
        return failure("the preset name \"" + name + "\" is too long for a file name");

    std::string directory = directory_option;
    if (directory.empty())
        if (Status status = default_directory(directory); !status.ok())
            return status;
    if (int why = 0; !korva::fileio::make_directories(directory.c_str(), 0777, &why))
        return failure(directory + ": cannot create the bundle directory: " + std::strerror(why));

    clamp_to_port_ranges(preset_path, params);
    const std::string uri = lv2_preset_uri(name);
    const std::string file_name = lv2_preset_file_name(name);

    // The preset first, then the manifest that names it: an interrupted
    // export never leaves a manifest pointing at a missing file.
    if (Status status = write_text_file(directory + "/" + file_name, lv2_preset_document(uri, name, params), "");
        !status.ok())
        return status;

    // An existing bundle gains the preset; one that already names it keeps
    // its manifest as it is (the preset's file was replaced above).
    const std::string manifest_path = directory + "/manifest.ttl";
    std::string manifest;
    switch (korva::fileio::read_file(manifest_path.c_str(), manifest)) {
    case korva::fileio::ReadStatus::failed:
        return failure(manifest_path + ": cannot read the bundle's manifest");
    case korva::fileio::ReadStatus::too_large:
        return failure(manifest_path + ": " + korva::fileio::too_large_text() +
                       ", so not a bundle's manifest this command edits");
    case korva::fileio::ReadStatus::missing:
        manifest = "# LV2 presets of Korva (urn:korva:enhancer), written by korva preset export-lv2.\n";
        break;
    case korva::fileio::ReadStatus::ok:
        break;
    }
    if (manifest.find("<" + uri + ">") == std::string::npos) {
        if (!manifest.empty() && manifest.back() != '\n')
            manifest += '\n';
        manifest += '\n';
        manifest += lv2_manifest_preset_entry(uri, file_name);
        if (Status status = write_text_file(manifest_path, manifest, ""); !status.ok())
            return status;
    }
    std::printf("%s (%s): exported as %s in %s/%s\n", preset_path.c_str(), preset_choice_text(choice).c_str(),
                uri.c_str(), directory.c_str(), file_name.c_str());
    return success();
}

#include "cli/common/commands.h"

#include "engine/param_fields.h"
#include "engine/preset_write.h"
#include "cli/common/atomic_output.h"
#include "cli/common/preset_library.h"
#include "cli/common/preset_text.h"

#include <cstdio>

Status run_preset_show(const std::string &name_or_path)
{
    std::string path;
    if (Status status = resolve_preset(name_or_path, path); !status.ok())
        return status;
    KorvaPresetInfo info;
    if (korva_preset_read(path.c_str(), &info) != KORVA_PRESET_OK)
        return failure(path + ": " + preset_problem(info));

    std::string text = byte_order_line(info);
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
    if (Status status = build_params(sources, params); !status.ok())
        return status;
    // Through a temporary file, so a failed save keeps an existing preset; a
    // preset is a file of its own, never written into a device or a FIFO.
    korva::fileio::Error error;
    if (!korva::preset::write_file(params, path.c_str(), &error))
        return failure(path + ": cannot write the preset: " + replacement_reason(error));
    return success();
}

#include "commands.h"

#include "atomic_output.h"
#include "engine/param_fields.h"
#include "engine_handle.h"
#include "preset_header.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

std::string byte_order_line(const PresetHeader &header)
{
    std::string order;
    if (header.marker == "LE")
        order = "LE (little-endian)";
    else if (header.marker == "BE")
        order = "BE (big-endian)";
    else
        order = "\"" + header.marker + "\" (unknown marker, read as the other byte order)";
    return "byte order: " + order + (header.swapped ? ", swapped on loading" : ", this machine's") + "\n";
}

} // namespace

Status run_preset_show(const std::string &path)
{
    const PresetHeader header = inspect_preset(path);
    if (!header.problem.empty())
        return failure(path + ": " + header.problem);

    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory for the engine");
    if (!korva_load(engine.get(), path.c_str()))
        return failure(path + ": the preset reader rejected the file");

    std::string text = byte_order_line(header);
    if (header.size > kPresetFileSize)
        text += std::to_string(header.size - kPresetFileSize) + " bytes after the parameter block are ignored\n";
    for (const KorvaParamField &field : korva_param_fields)
        text += std::string(field.name) + "=" + std::to_string(korva_param_get(&engine->params, &field)) + "\n";
    std::fputs(text.c_str(), stdout);
    return success();
}

Status run_preset_save(const std::string &path, const ParamSources &sources)
{
    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory for the engine");
    if (Status status = build_params(sources, engine->params); !status.ok())
        return status;

    // Through a temporary file, so a failed save keeps an existing preset.
    AtomicOutput target;
    if (Status status = begin_output(path, target); !status.ok())
        return status;
    // A preset is a file of its own: never written into a device or a FIFO.
    if (target.direct)
        return failure(path + ": cannot write the preset: not a regular file");
    errno = 0;
    if (!korva_save(engine.get(), target.write_path.c_str())) {
        const int error_number = errno;
        return failure(path + ": cannot write the preset" +
                       (error_number != 0 ? std::string(": ") + std::strerror(error_number) : std::string()));
    }
    return commit_output(target);
}

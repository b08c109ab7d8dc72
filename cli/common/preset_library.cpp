#include "preset_library.h"

#include "preset_text.h"
#include "text_columns.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

std::string factory_preset_dir()
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    // The link's target has no symbolic links left, so ".." can be taken lexically.
    const std::filesystem::path program(std::string(self, static_cast<size_t>(length)));
    return (program.parent_path() / "../share/korva/presets").lexically_normal().string();
}

Status factory_presets(std::vector<korva::presets::IndexEntry> &entries)
{
    const std::string dir = factory_preset_dir();
    if (dir.empty())
        return failure("cannot find the factory presets: the program's own path (/proc/self/exe) cannot be read");
    std::string problem;
    if (!korva::presets::read_index(dir, entries, problem))
        return failure("cannot read the factory presets: " + problem);
    return success();
}

Status resolve_preset(const std::string &name_or_path, std::string &path)
{
    // A slash makes it a path: the preset reader then says why it cannot be read.
    struct stat info;
    if (name_or_path.empty() || name_or_path.find('/') != std::string::npos ||
        stat(name_or_path.c_str(), &info) == 0) {
        path = name_or_path;
        return success();
    }
    std::vector<korva::presets::IndexEntry> entries;
    if (Status status = factory_presets(entries); !status.ok())
        return failure(name_or_path + ": no such file, and " + status.message);

    const korva::presets::IndexEntry *found = nullptr;
    int folded = 0;
    for (const auto &entry : entries) {
        if (entry.name == name_or_path) {
            found = &entry;
            folded = 1;
            break;
        }
        if (strcasecmp(entry.name.c_str(), name_or_path.c_str()) == 0) {
            found = &entry;
            ++folded;
        }
    }
    if (found != nullptr && folded == 1) {
        path = factory_preset_dir() + "/" + found->file;
        return success();
    }
    std::string names;
    for (const auto &entry : entries)
        names += (names.empty() ? "\"" : ", \"") + entry.name + "\"";
    return failure(name_or_path + ": no such file, and no factory preset of that name; factory presets: " +
                   names);
}

Status read_preset(const std::string &name_or_path, const char *context, std::string &path, KorvaPresetInfo &info)
{
    if (Status status = resolve_preset(name_or_path, path); !status.ok())
        return status;
    if (korva_preset_read(path.c_str(), &info) != KORVA_PRESET_OK)
        return failure(path + ": " + context + preset_problem(info));
    return success();
}

Status run_preset_list()
{
    std::vector<korva::presets::IndexEntry> entries;
    if (Status status = factory_presets(entries); !status.ok())
        return status;
    size_t width = 0;
    for (const auto &entry : entries)
        width = column_width(width, entry.name);
    for (const auto &entry : entries)
        std::printf("%s  %s\n", padded(entry.name, width).c_str(), entry.description.c_str());
    return success();
}

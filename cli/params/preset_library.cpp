#include "preset_library.h"

#include "preset_text.h"
#include "cli/common/text_columns.h"
#include "preset_file/preset_file.h"

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

Status resolve_preset(const std::string &argument, PresetArgument kind, PresetChoice &choice)
{
    choice = PresetChoice{};
    const bool has_slash = argument.find('/') != std::string::npos;
    if (kind == PresetArgument::stored && has_slash && argument[0] != '/')
        return failure(argument + ": a preset path kept for later use must be absolute (the service runs in "
                       "another folder); set the profile again with the file's path");
    // Any directory entry counts (lstat): a dangling link or a directory of
    // that name is the user's, and reading it fails naming it.
    struct stat entry;
    if (argument.empty() || has_slash ||
        (kind == PresetArgument::command_line && lstat(argument.c_str(), &entry) == 0)) {
        choice.path = argument;
        return success();
    }
    std::vector<korva::presets::IndexEntry> entries;
    if (Status status = factory_presets(entries); !status.ok())
        return failure(argument + (kind == PresetArgument::stored ? ": " : ": no such file, and ") + status.message);

    const korva::presets::IndexEntry *found = nullptr;
    int folded = 0;
    for (const auto &index_entry : entries) {
        if (index_entry.name == argument) {
            found = &index_entry;
            folded = 1;
            break;
        }
        if (strcasecmp(index_entry.name.c_str(), argument.c_str()) == 0) {
            found = &index_entry;
            ++folded;
        }
    }
    if (found != nullptr && folded == 1) {
        choice.path = factory_preset_dir() + "/" + found->file;
        choice.factory = found->name;
        return success();
    }
    std::string names;
    for (const auto &index_entry : entries)
        names += (names.empty() ? "\"" : ", \"") + index_entry.name + "\"";
    return failure(argument + (kind == PresetArgument::stored ? ": " : ": no such file, and ") +
                   "no factory preset of that name; factory presets: " + names);
}

std::string preset_choice_text(const PresetChoice &choice)
{
    return choice.factory.empty() ? "file " + choice.path : "factory preset \"" + choice.factory + "\"";
}

Status read_preset(const std::string &argument, PresetArgument kind, const char *context, PresetChoice &choice,
                   KorvaPresetInfo &info)
{
    if (Status status = resolve_preset(argument, kind, choice); !status.ok())
        return status;
    if (korva_preset_read(choice.path.c_str(), &info) != KORVA_PRESET_OK)
        return failure(choice.path + ": " + context + preset_problem(info));
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

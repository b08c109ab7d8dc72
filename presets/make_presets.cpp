// Writes the factory presets from their description:
//
//   korva_make_presets SOURCE DIR  ->  DIR/NAME.kp for each preset, DIR/index.txt
//
// SOURCE is presets/factory.txt: for each preset a line "[Name]", a line
// "description = ONE LINE", then "FIELD = VALUE" lines applied in order over
// the engine's defaults. Every value must lie within its LV2 port's range, so
// the bundle's copy of a preset is the same preset. .kp files in DIR that the
// index no longer names are removed. The build runs this whenever SOURCE
// changes (target korva_factory_presets).
#include "presets/preset_index.h"

#include "engine/param_fields.h"
#include "preset_file/preset_write.h"
#include "engine/controls.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Preset {
    korva::presets::IndexEntry entry;
    KorvaParams params;
};

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool set_field(Preset &preset, const std::string &name, const std::string &value_text, std::string &problem)
{
    const KorvaParamField *field = korva_param_field_find(name.c_str());
    if (field == nullptr) {
        problem = "unknown field \"" + name + "\"";
        return false;
    }
    int32_t value = 0;
    const char *end = value_text.data() + value_text.size();
    const auto parsed = std::from_chars(value_text.data(), end, value);
    if (parsed.ec != std::errc{} || parsed.ptr != end) {
        problem = name + ": \"" + value_text + "\" is not an integer";
        return false;
    }
    const int index = static_cast<int>(field - korva_param_fields);
    if (value < korva_controls[index].minimum || value > korva_controls[index].maximum) {
        problem = name + "=" + value_text + " is outside the control's range " +
                  std::to_string(korva_controls[index].minimum) + ".." + std::to_string(korva_controls[index].maximum);
        return false;
    }
    korva_param_set(&preset.params, field, value);
    return true;
}

bool parse_source(std::istream &in, std::vector<Preset> &presets, std::string &problem)
{
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            Preset preset;
            preset.entry.name = trim(line.substr(1, line.size() - 2));
            preset.entry.file = korva::presets::preset_file_name(preset.entry.name);
            korva_default_params(&preset.params);
            for (const Preset &other : presets)
                if (other.entry.file == preset.entry.file) {
                    problem = where + "\"" + preset.entry.name + "\" gives the same file as \"" +
                              other.entry.name + "\"";
                    return false;
                }
            presets.push_back(preset);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || presets.empty()) {
            problem = where + "expected [Name] or FIELD = VALUE inside a preset";
            return false;
        }
        const std::string key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
        Preset &preset = presets.back();
        if (key == "description")
            preset.entry.description = value;
        else if (!set_field(preset, key, value, problem)) {
            problem = where + problem;
            return false;
        }
    }
    for (const Preset &preset : presets)
        if (preset.entry.description.empty() || preset.entry.file == ".kp") {
            problem = "\"" + preset.entry.name + "\" needs a name with a letter and a description";
            return false;
        }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: korva_make_presets SOURCE DIR\n");
        return 2;
    }
    const std::string source = argv[1], dir = argv[2];
    std::ifstream in(source);
    std::vector<Preset> presets;
    std::string problem;
    if (!in || !parse_source(in, presets, problem)) {
        std::fprintf(stderr, "korva_make_presets: %s: %s\n", source.c_str(), in ? problem.c_str() : "cannot read");
        return 1;
    }

    std::error_code error;
    std::filesystem::create_directories(dir, error);
    std::vector<korva::presets::IndexEntry> entries;
    for (const Preset &preset : presets) {
        korva::fileio::Error why;
        if (!korva::preset::write_file(preset.params, (dir + "/" + preset.entry.file).c_str(), &why)) {
            std::fprintf(stderr, "korva_make_presets: cannot write %s/%s\n", dir.c_str(), preset.entry.file.c_str());
            return 1;
        }
        entries.push_back(preset.entry);
    }
    for (const auto &file : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = file.path().filename().string();
        bool named = false;
        for (const auto &entry : entries)
            named = named || entry.file == name;
        if (!named && file.path().extension() == ".kp")
            std::filesystem::remove(file.path(), error);
    }

    const std::string index = korva::presets::format_index(
        entries, "Korva's factory presets: FILE<tab>NAME<tab>DESCRIPTION, one a line.\n"
                 "Generated from presets/factory.txt by korva_make_presets; regenerate with\n"
                 "cmake --build BUILD --target korva_factory_presets.");
    std::ofstream out(dir + "/" + korva::presets::kIndexFileName, std::ios::binary | std::ios::trunc);
    out << index;
    out.close();
    if (!out) {
        std::fprintf(stderr, "korva_make_presets: cannot write %s/%s\n", dir.c_str(), korva::presets::kIndexFileName);
        return 1;
    }
    return 0;
}

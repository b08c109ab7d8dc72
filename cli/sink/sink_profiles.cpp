#include "sink_profiles.h"

#include "pwclient/follow_state.h"

#include "cli/common/atomic_output.h"
#include "cli/common/param_sources.h"

#include "fileio/directories.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

constexpr const char *kHeader =
    "# Korva: a preset per output device, written by `korva sink profile`.\n"
    "#   profile \"DEVICE\" \"PRESET\"   DEVICE is node.name or node.name:ROUTE\n"
    "#   fallback \"PRESET\"           for every output without a profile\n";

// korva/NAME in $VARIABLE when it is absolute, otherwise in home_part in the
// home directory (none for a null home_part).
Status xdg_file(const char *variable, const char *home_part, const char *name, std::string &path)
{
    const std::string folder = korva::fileio::xdg_folder(variable, home_part);
    if (folder.empty())
        return failure(std::string("cannot tell where Korva's files go: ") + variable +
                       (home_part == nullptr ? " is not set to an absolute path"
                                             : " is not set to an absolute path and there is no home directory"));
    path = folder + "/korva/" + name;
    return success();
}

// Reads one quoted string at `at`, moving past it; false when there is none.
bool read_quoted(const std::string &line, size_t &at, std::string &value)
{
    if (at >= line.size() || line[at] != '"')
        return false;
    value.clear();
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
        if (c == '\\') {
            if (++at >= line.size() || (line[at] != '"' && line[at] != '\\'))
                return false;
        }
        value += line[at];
    }
    return false;
}

void skip_blanks(const std::string &line, size_t &at)
{
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
}

} // namespace

Status sink_profiles_path(std::string &path)
{
    return xdg_file("XDG_CONFIG_HOME", ".config", "sink-profiles", path);
}

Status follow_applied_path(std::string &path)
{
    return xdg_file("XDG_STATE_HOME", ".local/state", "follow-applied", path);
}

Status follow_state_path(std::string &path)
{
    path = korva::pwclient::follow_state_path();
    if (path.empty())
        return failure("cannot tell where Korva's files go: XDG_RUNTIME_DIR is not set to an absolute path");
    return success();
}

Status quote_profile_string(const std::string &text, std::string &quoted)
{
    quoted.assign(1, '"');
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return failure(text + ": a device or preset name cannot hold control characters", 2);
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return success();
}

bool split_profile_line(const std::string &line, std::string &word, std::vector<std::string> &strings)
{
    word.clear();
    strings.clear();
    size_t at = 0;
    skip_blanks(line, at);
    if (at == line.size() || line[at] == '#')
        return true;
    const size_t word_end = std::min(line.find_first_of(" \t", at), line.size());
    word = line.substr(at, word_end - at);
    at = word_end;
    for (skip_blanks(line, at); at < line.size(); skip_blanks(line, at)) {
        std::string value;
        if (!read_quoted(line, at, value) || value.empty())
            return false;
        strings.push_back(value);
    }
    return true;
}

Status parse_sink_profiles(const std::string &text, const std::string &path, SinkProfiles &profiles)
{
    profiles = SinkProfiles{};
    std::istringstream lines(text);
    std::string line, word;
    std::vector<std::string> strings;
    for (int number = 1; std::getline(lines, line); ++number) {
        const bool split = split_profile_line(line, word, strings);
        if (split && word.empty())
            continue;
        if (!split || !((word == "profile" && strings.size() == 2) || (word == "fallback" && strings.size() == 1)))
            return failure(path + ":" + std::to_string(number) +
                           ": not a profile line (profile \"DEVICE\" \"PRESET\" or fallback \"PRESET\"); "
                           "fix or remove the line by hand");
        if (word == "fallback") {
            profiles.fallback = strings[0];
            continue;
        }
        bool replaced = false;   // a device named twice: its last line counts
        for (auto &entry : profiles.devices)
            if (entry.first == strings[0]) {
                entry.second = strings[1];
                replaced = true;
            }
        if (!replaced)
            profiles.devices.emplace_back(strings[0], strings[1]);
    }
    return success();
}

Status read_sink_profiles(const std::string &path, SinkProfiles &profiles)
{
    profiles = SinkProfiles{};
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return error ? failure(path + ": " + error.message()) : success();
    if (!std::filesystem::is_regular_file(path, error))
        return failure(path + ": not a regular file");
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file && !file.eof())
        return failure(path + ": cannot be read");
    return parse_sink_profiles(text.str(), path, profiles);
}

std::string sink_profiles_text(const SinkProfiles &profiles)
{
    std::string text = kHeader;
    std::string device, preset;
    for (const auto &[name, file] : profiles.devices)
        if (quote_profile_string(name, device).ok() && quote_profile_string(file, preset).ok())
            text += "profile " + device + " " + preset + "\n";
    if (!profiles.fallback.empty() && quote_profile_string(profiles.fallback, preset).ok())
        text += "fallback " + preset + "\n";
    return text;
}

Status write_korva_file(const std::string &path, const std::string &text)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    int why = 0;
    if (!korva::fileio::make_directories(folder.c_str(), 0777, &why))
        return failure(folder + ": cannot create the folder: " + std::strerror(why));
    korva::fileio::Error written;
    if (!korva::fileio::replace_file(path.c_str(), text.data(), text.size(), korva::fileio::NonRegular::refuse,
                                     &written))
        return failure(path + ": cannot write: " + replacement_reason(written));
    return success();
}

ProfileChoice choose_profile(const SinkProfiles &profiles, const std::string &node, const std::string &route)
{
    ProfileChoice choice;
    if (node.empty())
        return choice;
    // Whole strings are compared, so a node name holding ':' needs no rule.
    const std::string keys[] = {route.empty() ? std::string() : node + ":" + route, node};
    for (const std::string &key : keys)
        for (const auto &[device, preset] : profiles.devices)
            if (!key.empty() && device == key) {
                choice.device = device;
                choice.preset = preset;
                return choice;
            }
    choice.preset = profiles.fallback;
    return choice;
}

Status load_profile_preset(const std::string &preset, KorvaParams &params)
{
    KorvaParams read;
    korva_default_params(&read);
    PresetChoice choice;
    if (Status status = apply_preset(preset, PresetArgument::stored, read, choice); !status.ok())
        return status;
    clamp_to_ports(read, [](int, int32_t, int32_t) {});
    params = read;
    return success();
}

#include "sink_profiles.h"

#include "sinkfiles/follow_state.h"

#include "cli/common/atomic_output.h"
#include "cli/params/param_sources.h"

#include "fileio/directories.h"

#include "fileio/file_read.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

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
    path = korva::sinkfiles::follow_state_path();
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

namespace {

// A name as a message shows it: at most 60 bytes, never a UTF-8 character
// cut in two (names hold no control characters: the reader refuses them).
std::string excerpt(const std::string &name)
{
    constexpr std::size_t kMax = 60;
    if (name.size() <= kMax)
        return name;
    std::size_t n = kMax;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
        --n;
    return name.substr(0, n) + "...";
}

// Calls `each(line, number)` for every line of `text`, its '\n' left off.
template <class Each> void for_each_line(const std::string &text, Each each)
{
    std::string line;
    int number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        line.assign(text, at, end - at);
        each(line, number);
        at = end + 1;
    }
}

} // namespace

Status parse_sink_profiles(const std::string &text, const std::string &path, SinkProfiles &profiles)
{
    profiles = SinkProfiles{};
    if (text.size() > korva::fileio::kTextFileLimit)
        return failure(path + ": " + korva::fileio::too_large_text() + ", so not a profiles file; fix it by hand");
    SinkProfiles read;
    std::unordered_map<std::string, int> device_lines;   // DEVICE -> its line
    int fallback_line = 0;
    std::string word, problem;
    std::vector<std::string> strings;
    for_each_line(text, [&](const std::string &line, int number) {
        if (!problem.empty())
            return;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const bool split = split_profile_line(line, word, strings);
        if (split && word.empty())
            return;
        if (!split || !((word == "profile" && strings.size() == 2) || (word == "fallback" && strings.size() == 1))) {
            problem = where + "not a profile line (profile \"DEVICE\" \"PRESET\" or fallback \"PRESET\"); "
                              "fix or remove the line by hand";
        } else if (word == "fallback") {
            if (fallback_line != 0)
                problem = where + "a second fallback (the first is on line " + std::to_string(fallback_line) +
                          "); remove one of the two lines by hand";
            fallback_line = number;
            read.fallback = strings[0];
        } else if (const auto [known, added] = device_lines.emplace(strings[0], number); !added) {
            problem = where + "a second profile for \"" + excerpt(strings[0]) + "\" (the first is on line " +
                      std::to_string(known->second) + "); remove one of the two lines by hand";
        } else {
            read.devices.emplace_back(strings[0], strings[1]);
        }
    });
    if (!problem.empty())
        return failure(problem);
    read.source = text;
    profiles = std::move(read);
    return success();
}

Status read_sink_profiles(const std::string &path, SinkProfiles &profiles)
{
    profiles = SinkProfiles{};
    std::string text;
    int why = 0;
    switch (korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &why)) {
    case korva::fileio::ReadStatus::missing:
        return success();
    case korva::fileio::ReadStatus::too_large:
        return failure(path + ": " + korva::fileio::too_large_text() + ", so not a profiles file; fix it by hand");
    case korva::fileio::ReadStatus::failed:
        return failure(path + (why == 0 ? ": not a regular file" : ": cannot be read: " + std::string(std::strerror(why))));
    case korva::fileio::ReadStatus::ok:
        break;
    }
    return parse_sink_profiles(text, path, profiles);
}

std::string sink_profiles_text(const SinkProfiles &profiles)
{
    std::string text = profiles.source.empty() ? kHeader : "";
    std::string device, preset;
    auto entry = [&](const std::string &name, const std::string &file) {
        if (quote_profile_string(name, device).ok() && quote_profile_string(file, preset).ok())
            text += "profile " + device + " " + preset + "\n";
    };
    auto fallback = [&] {
        if (quote_profile_string(profiles.fallback, preset).ok())
            text += "fallback " + preset + "\n";
    };
    // The file's own lines first, each kept as it is unless its entry
    // changed (then written anew) or went (then left out).
    std::unordered_map<std::string, const std::string *> wanted;
    for (const auto &[name, file] : profiles.devices)
        wanted.emplace(name, &file);
    std::unordered_set<std::string> written;
    bool fallback_written = profiles.fallback.empty();
    std::string word;
    std::vector<std::string> strings;
    for_each_line(profiles.source, [&](const std::string &line, int) {
        if (!split_profile_line(line, word, strings) || word.empty()) {
            text += line + "\n";
        } else if (word == "profile" && strings.size() == 2) {
            const auto found = wanted.find(strings[0]);
            if (found == wanted.end() || !written.insert(strings[0]).second)
                return;
            if (*found->second == strings[1])
                text += line + "\n";
            else
                entry(strings[0], *found->second);
        } else if (word == "fallback" && strings.size() == 1) {
            if (fallback_written)
                return;
            fallback_written = true;
            if (profiles.fallback == strings[0])
                text += line + "\n";
            else
                fallback();
        } else {
            text += line + "\n";
        }
    });
    for (const auto &[name, file] : profiles.devices)
        if (written.insert(name).second)
            entry(name, file);
    if (!fallback_written)
        fallback();
    return text;
}

Status write_korva_file(const std::string &path, const std::string &text)
{
    // Never a file that reading it back would refuse.
    if (text.size() > korva::fileio::kTextFileLimit)
        return failure(path + ": not written: it would be larger than 1 MiB");
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

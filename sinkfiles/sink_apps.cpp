#include "sink_apps.h"

#include "fileio/directories.h"
#include "fileio/file_read.h"
#include "fileio/file_replace.h"
#include "sinkfiles/sink_fragment_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace korva::sinkfiles {

namespace {

constexpr std::string_view kHeader =
    "# Korva: programs whose streams bypass Korva, written by `korva sink apps`.\n"
    "#   exclude \"NAME\"   NAME is application.name or application.process.binary\n";

bool control(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// One line: true with `name` empty for a blank or comment line, with the
// name for `exclude "NAME"`; false with `why` otherwise.
bool read_line(std::string_view line, std::string &name, std::string &why)
{
    name.clear();
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line[at] == '#')
        return true;
    constexpr std::string_view kWord = "exclude";
    if (line.substr(at, kWord.size()) != kWord) {
        why = "not a comment or an exclude \"NAME\" line";
        return false;
    }
    at = line.find_first_not_of(" \t", at + kWord.size());
    if (at == std::string_view::npos || at == line.find_first_not_of(" \t") + kWord.size() || line[at] != '"') {
        why = "exclude is not followed by a quoted NAME";
        return false;
    }
    for (++at; at < line.size() && line[at] != '"'; ++at) {
        if (control(line[at])) {
            why = "a control character in the name";
            return false;
        }
        if (line[at] == '\\' && (at + 1 >= line.size() || (line[at + 1] != '"' && line[at + 1] != '\\'))) {
            why = "a backslash that is not \\\" or \\\\";
            return false;
        }
        at += line[at] == '\\';
        name += line[at];
    }
    if (at >= line.size()) {
        why = "the name's quote is not closed";
        return false;
    }
    if (line.find_first_not_of(" \t", at + 1) != std::string_view::npos) {
        why = "more than a name after exclude";
        return false;
    }
    if (name.empty()) {
        why = "an empty name";
        return false;
    }
    return true;
}

std::string quoted(const std::string &name)
{
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

bool sink_apps_path(std::string &path, std::string &problem)
{
    const std::string folder = korva::fileio::xdg_folder("XDG_CONFIG_HOME", ".config");
    if (folder.empty()) {
        problem = "cannot tell where Korva's files go: XDG_CONFIG_HOME is not set to an absolute path and there is "
                  "no home directory";
        return false;
    }
    path = folder + "/korva/sink-apps";
    return true;
}

bool parse_sink_apps(const std::string &text, SinkApps &apps, std::string &problem)
{
    apps = {};
    if (text.size() > korva::fileio::kTextFileLimit) {
        problem = korva::fileio::too_large_text() + ", so not Korva's app list";
        return false;
    }
    SinkApps read;
    int number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string name, why;
        if (!read_line(std::string_view(text).substr(at, end - at), name, why)) {
            problem = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        at = end + 1;
        if (!name.empty() && std::none_of(read.excluded.begin(), read.excluded.end(),
                                          [&](const std::string &known) { return same_name(known, name); }))
            read.excluded.push_back(name);
    }
    apps = std::move(read);
    return true;
}

bool read_sink_apps(const std::string &path, SinkApps &apps, std::string &problem)
{
    apps = {};
    std::string text;
    int error = 0;
    switch (korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &error)) {
    case korva::fileio::ReadStatus::ok:
        break;
    case korva::fileio::ReadStatus::missing:
        return true;
    case korva::fileio::ReadStatus::too_large:
        problem = path + ": " + korva::fileio::too_large_text() + ", so not Korva's app list";
        return false;
    case korva::fileio::ReadStatus::failed:
        problem = path + ": " + (error == 0 ? "not a regular file" : std::strerror(error));
        return false;
    }
    if (parse_sink_apps(text, apps, problem))
        return true;
    problem = problem.rfind("line ", 0) == 0 ? path + ":" + problem.substr(5) : path + ": " + problem;
    return false;
}

bool change_sink_apps_text(const std::string &text, const std::string &name, bool exclude, std::string &changed,
                           std::string &problem)
{
    SinkApps apps;
    if (!parse_sink_apps(text, apps, problem))
        return false;
    if (name.empty() || std::any_of(name.begin(), name.end(), control)) {
        problem = "a program's name is not empty and holds no control characters";
        return false;
    }
    changed = text.empty() ? std::string(kHeader) : text;
    if (exclude) {
        if (sink_apps_match(apps, name, ""))
            return true;
        if (!changed.empty() && changed.back() != '\n')
            changed += '\n';
        changed += "exclude " + quoted(name) + "\n";
        return true;
    }
    // Every line that excludes the name goes; the others stay as they are.
    std::string kept;
    for (std::size_t at = 0; at < changed.size();) {
        const std::size_t end = std::min(changed.find('\n', at), changed.size());
        std::string line_name, why;
        read_line(std::string_view(changed).substr(at, end - at), line_name, why);
        if (line_name.empty() || !same_name(line_name, name))
            kept.append(changed, at, end + 1 - at);
        at = end + 1;
    }
    changed = text.empty() ? text : kept;
    return true;
}

bool change_sink_apps(const std::string &path, const std::string &name, bool exclude, bool &changed,
                      std::string &problem)
{
    changed = false;
    const std::string folder = path.substr(0, path.rfind('/'));
    if (int why = 0; !korva::fileio::make_directories(folder.c_str(), 0755, &why)) {
        problem = folder + ": cannot create the folder: " + std::strerror(why);
        return false;
    }
    KorvaFragmentError error{};
    const int lock = korva_fragment_lock(path.c_str(), 5000, &error);
    if (lock < 0) {
        problem = error.message;
        return false;
    }
    std::string text, next;
    int why = 0;
    const auto status = korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &why);
    bool done = false;
    if (status == korva::fileio::ReadStatus::failed || status == korva::fileio::ReadStatus::too_large) {
        problem = path + ": " + (status == korva::fileio::ReadStatus::too_large ? korva::fileio::too_large_text()
                                 : why == 0                                      ? "not a regular file"
                                                                                 : std::strerror(why));
    } else if (!change_sink_apps_text(text, name, exclude, next, problem)) {
        problem = problem.rfind("line ", 0) == 0 ? path + ":" + problem.substr(5) : path + ": " + problem;
    } else if (next == text) {
        done = true;
    } else {
        korva::fileio::Error failure;
        done = korva::fileio::replace_file(path.c_str(), next.data(), next.size(),
                                            korva::fileio::NonRegular::refuse, &failure);
        if (!done)
            problem = path + ": cannot save the app list: " + korva::fileio::step_text(failure.step) +
                      (failure.number != 0 ? std::string(": ") + std::strerror(failure.number) : "");
        changed = done;
    }
    korva_fragment_unlock(lock);
    return done;
}

bool sink_apps_match(const SinkApps &apps, const std::string &application, const std::string &binary)
{
    return std::any_of(apps.excluded.begin(), apps.excluded.end(), [&](const std::string &name) {
        return (!application.empty() && same_name(name, application)) || (!binary.empty() && same_name(name, binary));
    });
}

} // namespace korva::sinkfiles

#include "preset_index.h"

#include "fileio/file_read.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace korva::presets {

namespace {

// At most 60 bytes of a name for a message, never a UTF-8 character cut in two.
std::string shortened(const std::string &text)
{
    constexpr std::size_t kMax = 60;
    if (text.size() <= kMax)
        return text;
    std::size_t n = kMax;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n) + "...";
}

bool plain_kp_name(const std::string &file)
{
    return file.size() > 3 && file.compare(file.size() - 3, 3, ".kp") == 0 &&
           file.find('/') == std::string::npos && file[0] != '.';
}

}  // namespace

bool parse_index(const std::string &text, std::vector<IndexEntry> &entries, std::string &problem)
{
    if (text.size() > korva::fileio::kTextFileLimit) {
        problem = korva::fileio::too_large_text() + ", so not an index of presets";
        return false;
    }
    std::vector<IndexEntry> read;
    std::set<std::string> names;
    std::string line;
    int number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        line.assign(text, at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        // Names and descriptions are printed as they are: no control characters.
        const auto control = std::find_if(line.begin(), line.end(), [](char c) {
            return c != '\t' && (static_cast<unsigned char>(c) < 0x20 || c == 0x7f);
        });
        if (control != line.end()) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(*control));
            problem = where + "a control character (byte " + byte + ")";
            return false;
        }
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) {
            problem = where + "expected FILE<tab>NAME<tab>DESCRIPTION";
            return false;
        }
        IndexEntry entry{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)};
        if (!plain_kp_name(entry.file)) {
            problem = where + "\"" + shortened(entry.file) + "\" is not a file name ending in .kp";
            return false;
        }
        if (entry.name.empty()) {
            problem = where + "the name is empty";
            return false;
        }
        if (!names.insert(entry.name).second) {
            problem = where + "the name \"" + shortened(entry.name) + "\" is given twice";
            return false;
        }
        read.push_back(std::move(entry));
    }
    if (read.empty()) {
        problem = "names no preset (each line: FILE<tab>NAME<tab>DESCRIPTION)";
        return false;
    }
    entries = std::move(read);
    return true;
}

std::string format_index(const std::vector<IndexEntry> &entries, const std::string &comment)
{
    std::string text;
    std::istringstream lines(comment);
    for (std::string line; std::getline(lines, line);)
        text += "# " + line + "\n";
    for (const IndexEntry &entry : entries)
        text += entry.file + "\t" + entry.name + "\t" + entry.description + "\n";
    return text;
}

bool read_index(const std::string &dir, std::vector<IndexEntry> &entries, std::string &problem)
{
    const std::string path = dir + "/" + kIndexFileName;
    std::string text;
    int why = 0;
    switch (korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &why)) {
    case korva::fileio::ReadStatus::ok:
        break;
    case korva::fileio::ReadStatus::missing:
        problem = path + ": " + std::strerror(ENOENT);
        return false;
    case korva::fileio::ReadStatus::too_large:
        problem = path + ": " + korva::fileio::too_large_text() + ", so not an index of presets";
        return false;
    case korva::fileio::ReadStatus::failed:
        problem = path + ": " + (why == 0 ? "not a regular file" : std::strerror(why));
        return false;
    }
    if (!parse_index(text, entries, problem)) {
        problem = path + ": " + problem;
        return false;
    }
    return true;
}

std::string preset_file_name(const std::string &name)
{
    std::string file;
    bool gap = false;
    for (const unsigned char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!keep) {
            gap = !file.empty();
            continue;
        }
        if (gap)
            file += '-';
        gap = false;
        file += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return file + ".kp";
}

}  // namespace korva::presets

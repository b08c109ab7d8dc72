#include "preset_index.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace korva::presets {

namespace {

bool plain_kp_name(const std::string &file)
{
    return file.size() > 3 && file.compare(file.size() - 3, 3, ".kp") == 0 &&
           file.find('/') == std::string::npos && file[0] != '.';
}

}  // namespace

bool parse_index(const std::string &text, std::vector<IndexEntry> &entries, std::string &problem)
{
    std::vector<IndexEntry> read;
    std::set<std::string> names;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto tab1 = line.find('\t');
        const auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        const std::string where = "line " + std::to_string(number) + ": ";
        if (tab2 == std::string::npos) {
            problem = where + "expected FILE<tab>NAME<tab>DESCRIPTION";
            return false;
        }
        IndexEntry entry{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)};
        if (!plain_kp_name(entry.file)) {
            problem = where + "\"" + entry.file + "\" is not a file name ending in .kp";
            return false;
        }
        if (entry.name.empty()) {
            problem = where + "the name is empty";
            return false;
        }
        if (!names.insert(entry.name).second) {
            problem = where + "the name \"" + entry.name + "\" is given twice";
            return false;
        }
        read.push_back(std::move(entry));
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
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        problem = path + ": cannot be read";
        return false;
    }
    if (!parse_index(text.str(), entries, problem)) {
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

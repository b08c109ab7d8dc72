// The index of the factory presets: the file index.txt beside their .kp files
// names each preset and describes it in one line (the 110-byte preset format
// has no room for either). One line a preset, tab-separated:
//
//   FILE <tab> NAME <tab> DESCRIPTION
//
// FILE is a plain file name ending in .kp in the index's own folder; NAME may
// hold spaces. Lines starting with '#' and empty lines are comments.
#ifndef KORVA_PRESETS_PRESET_INDEX_H
#define KORVA_PRESETS_PRESET_INDEX_H

#include <string>
#include <vector>

namespace korva::presets {

inline constexpr const char *kIndexFileName = "index.txt";

struct IndexEntry {
    std::string file;          // "laptop-speakers.kp"
    std::string name;          // "Laptop speakers"
    std::string description;   // one line
};

// Parses the index text; false with `problem` naming the line for a line that
// is not three tab-separated fields, holds a control character, has a FILE
// that is not a plain .kp name, an empty NAME, or a NAME given twice; false
// too for an index that names no preset at all, or holds more than 1 MiB.
bool parse_index(const std::string &text, std::vector<IndexEntry> &entries, std::string &problem);

// The index text for these entries, after a comment saying how it was made.
std::string format_index(const std::vector<IndexEntry> &entries, const std::string &comment);

// Reads DIR/index.txt; false with `problem` (starting with the path) when it
// cannot be read or parsed.
bool read_index(const std::string &dir, std::vector<IndexEntry> &entries, std::string &problem);

// The file name of a preset called NAME: lower case, each run of other
// characters than letters and digits one '-': "Laptop speakers" gives
// "laptop-speakers.kp".
std::string preset_file_name(const std::string &name);

}  // namespace korva::presets

#endif

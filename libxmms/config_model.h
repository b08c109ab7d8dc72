/*
 * The player's configuration in memory: the file's lines in file order, each
 * kept as it was read, so that saving reproduces every line this library did
 * not change byte for byte.
 *
 * File syntax: "[section]" lines open a section, "key=value" lines inside a
 * section are its keys. Section names, keys and values are trimmed of
 * surrounding white space on reading. Any other line (blank, comment, junk,
 * or a key line before the first section) is carried along untouched.
 */
#ifndef KORVA_LIBXMMS_CONFIG_MODEL_H
#define KORVA_LIBXMMS_CONFIG_MODEL_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva::config {

// A line that begins with '[' but is no well-formed "[name]" still ends the
// section before it: the lines after it belong to no section.
enum class LineKind { other, section, broken_section, entry };

struct Line {
    LineKind kind = LineKind::other;
    std::string text;   // the line without its line ending
    std::string eol;    // "\n", "\r\n", or "" for a last line without ending
    std::string name;   // section name or key, trimmed
    std::string value;  // entry value, trimmed
};

std::string_view trim(std::string_view s);

// Splits text into lines and classifies each.
std::vector<Line> parse(std::string_view text);

// The line ending new lines get: that of the first line which has one, else "\n".
std::string dominant_eol(const std::vector<Line> &lines);

// The whole file; a line that is no longer the last gets `eol` if it had none.
std::string serialize(const std::vector<Line> &lines, const std::string &eol);

// Index of the first entry `key` of section `section`, if any.
std::optional<std::size_t> find_entry(const std::vector<Line> &lines, std::string_view section,
                                      std::string_view key);

// Sets the first entry `key` of `section`, or adds it at the end of the first
// such section (after its last non-blank line), or adds the section at the end
// of the file. Returns false, changing nothing, for a name or value that the
// syntax cannot carry (line breaks, '=' in a key or one that begins with '[',
// empty or untrimmed names).
bool set_entry(std::vector<Line> &lines, const std::string &eol, std::string_view section,
               std::string_view key, std::string_view value);

}  // namespace korva::config

// The handle behind the C calls (declared opaque in host/xmms_configfile.h).
struct ConfigFile {
    std::vector<korva::config::Line> lines;
    std::string eol = "\n";
    // A key write that ran out of memory. The write calls return nothing, so
    // the handle keeps it: saving then fails and leaves the file as it was,
    // since the text in memory lacks a key the caller set.
    bool write_lost = false;
    bool write_lost_told = false;  // the one message about it is out
};

#endif

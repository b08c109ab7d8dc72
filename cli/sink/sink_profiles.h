// A preset per output device: the profiles file `korva sink profile` edits
// and `korva sink follow` reads, and the rule that picks an output's preset.
//
// The file is $XDG_CONFIG_HOME/korva/sink-profiles (~/.config without
// XDG_CONFIG_HOME), written whole through the file-safety module under the
// writers' lock of sink_fragment_store.h (.sink-profiles.lock beside it):
//
//   # comment
//   profile "DEVICE" "PRESET"
//   fallback "PRESET"
//
// Strings are in double quotes; a quote or backslash inside is written \" or
// \\, and control characters are refused. DEVICE is an output's node.name,
// or node.name:ROUTE for one route of it. PRESET is a factory preset's name
// (a name without '/', never a file of the working folder) or an absolute
// preset path. A line the reader cannot follow is an error
// naming the file and the line; the file is then never written over. So is
// a device, or the fallback, given on two lines (the message names both):
// which of the two was meant is for the person who wrote them to say, so
// `set` and `remove` refuse the file, `list` reports it, and follow applies
// nothing until it is mended. A file larger than 1 MiB is refused unread.
#ifndef KORVA_CLI_SINK_PROFILES_H
#define KORVA_CLI_SINK_PROFILES_H

#include "cli/common/status.h"

#include "engine/korva.h"

#include <string>
#include <utility>
#include <vector>

struct SinkProfiles {
    std::vector<std::pair<std::string, std::string>> devices;   // DEVICE, PRESET in file order
    std::string fallback;                                       // empty: none
    std::string source;   // the file as read: its comments and unchanged lines are written back as they were
};

// $XDG_CONFIG_HOME/korva/sink-profiles, $XDG_STATE_HOME/korva/follow-applied
// (~/.local/state without XDG_STATE_HOME) and $XDG_RUNTIME_DIR/korva/
// follow-state (no fallback: failure without XDG_RUNTIME_DIR). Each variable
// counts only when it holds an absolute path.
Status sink_profiles_path(std::string &path);
Status follow_applied_path(std::string &path);
Status follow_state_path(std::string &path);

// Reads the file; a missing file is no profiles at all. Linear in the file.
Status read_sink_profiles(const std::string &path, SinkProfiles &profiles);
Status parse_sink_profiles(const std::string &text, const std::string &path, SinkProfiles &profiles);
// The file's text for these profiles: the lines of `source` (comments,
// blank lines, entries that did not change) as they were, an entry whose
// preset changed rewritten on its own line, a removed one left out, new
// ones at the end; a header first when there is no source.
std::string sink_profiles_text(const SinkProfiles &profiles);

// One line of such a file: its first word and the quoted strings after it
// (none may be empty); a blank or comment line gives an empty word. False
// when the line is not of that form.
bool split_profile_line(const std::string &line, std::string &word, std::vector<std::string> &strings);

// "STRING" with \" and \\; refuses control characters.
Status quote_profile_string(const std::string &text, std::string &quoted);

// Writes `text` to `path` through the file-safety module, making its folder;
// a text larger than 1 MiB (which no reader would take back) is refused.
Status write_korva_file(const std::string &path, const std::string &text);

// The profile for the output `node` with active route `route` (may be
// empty): DEVICE "node:route" first, then "node", then the fallback.
struct ProfileChoice {
    std::string device;    // the DEVICE that matched; empty for the fallback or none
    std::string preset;    // empty: no profile and no fallback
};
ProfileChoice choose_profile(const SinkProfiles &profiles, const std::string &node, const std::string &route);

// The preset of a profile wholly read and checked, clamped to the sink's
// control ranges: a failure says why and leaves `params` alone. PRESET is
// read as the file keeps it (preset_library.h, PresetArgument::stored): a
// name without '/' is a factory preset, whatever the working folder holds.
Status load_profile_preset(const std::string &preset, KorvaParams &params);

#endif

// The state `korva sink follow` publishes for a window, `korva sink status`
// and `korva sink apps list`: $XDG_RUNTIME_DIR/korva/follow-state, one
// "key: value" line each, in this order (a value runs to the end of its
// line, empty when there is nothing to say):
//   pipewire: connected | not running
//   sink: the sink's state in words (korva_sink_state_text)
//   output: the node.name Korva plays into
//   route: its active route
//   profile: the DEVICE that matched | fallback | none
//   preset: the profile's preset
//   applied: yes | kept (applied earlier; changes by hand stay) | no
//   problem: why the preset was not applied, or why it was not saved
//   bypassing: the streams sent past Korva to the output, "; " between
//              them, each "NAME (node ID, WHY)" The file is replaced whole,
// so a reader sees one state or the next, never half of one. A file damaged
// by hand is no state, with a message naming its line.
#ifndef KORVA_SINKFILES_FOLLOW_STATE_H
#define KORVA_SINKFILES_FOLLOW_STATE_H

#include <map>
#include <string>
#include <vector>

namespace korva::sinkfiles {

// What follow publishes; every text is made one line (a line break or NUL
// byte becomes a space), an entry of `bypassing` holds no "; " (made ", ")
// and an empty one is left out.
struct FollowState {
    bool pipewire = false;
    std::string sink, output, route, profile, preset, applied = "no", problem;
    std::vector<std::string> bypassing;   // "NAME (node ID, WHY)" each
};

// The state file's text.
std::string follow_state_text(const FollowState &state);

// The entries of a "bypassing" value, as follow_state_text wrote them.
std::vector<std::string> follow_state_list(const std::string &value);

// The state file's path; empty when XDG_RUNTIME_DIR is not an absolute path.
std::string follow_state_path();

// The keys and values of a state text. False, with `problem` naming the
// line ("line 3: ..."), for a line that is no "key: value" or "key:", a key
// given twice, a NUL byte, or more than 1 MiB of text.
bool parse_follow_state(const std::string &text, std::map<std::string, std::string> &state, std::string &problem);

// The file's keys and values; empty when it is missing, cannot be read or
// is damaged, and then `problem` (when given) says why, starting with the
// path (left empty for a missing file).
std::map<std::string, std::string> read_follow_state(const std::string &path, std::string *problem = nullptr);

// The state in a few words for a window title: the output in use and the
// profile applied to it, or why none was; empty without a state.
std::string follow_state_summary(const std::map<std::string, std::string> &state);

}  // namespace korva::sinkfiles

#endif

// The state `korva sink follow` publishes for a window and `korva sink
// status`: $XDG_RUNTIME_DIR/korva/follow-state, one "key: value" line each
// (pipewire, sink, output, route, profile, preset, applied, problem; a value
// runs to the end of its line and may be empty). The file is replaced whole,
// so a reader sees one state or the next, never half of one. A file damaged
// by hand is no state, with a message naming its line.
#ifndef KORVA_PWCLIENT_FOLLOW_STATE_H
#define KORVA_PWCLIENT_FOLLOW_STATE_H

#include <map>
#include <string>

namespace korva::pwclient {

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

}  // namespace korva::pwclient

#endif

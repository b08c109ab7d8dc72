// The state `korva sink follow` publishes for a window and `korva sink
// status`: $XDG_RUNTIME_DIR/korva/follow-state, one "key: value" line each
// (pipewire, sink, output, route, profile, preset, applied, problem; a value
// runs to the end of its line and may be empty). The file is replaced whole,
// so a reader sees one state or the next, never half of one.
#ifndef KORVA_PWCLIENT_FOLLOW_STATE_H
#define KORVA_PWCLIENT_FOLLOW_STATE_H

#include <map>
#include <string>

namespace korva::pwclient {

// The state file's path; empty when XDG_RUNTIME_DIR is not an absolute path.
std::string follow_state_path();

// Its keys and values; empty when it cannot be read.
std::map<std::string, std::string> read_follow_state(const std::string &path);

// The state in a few words for a window title: the output in use and the
// profile applied to it, or why none was; empty without a state.
std::string follow_state_summary(const std::map<std::string, std::string> &state);

}  // namespace korva::pwclient

#endif

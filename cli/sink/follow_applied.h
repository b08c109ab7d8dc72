// follow-applied: the output whose profile `korva sink follow` applied last,
// kept across restarts in $XDG_STATE_HOME/korva/follow-applied so that a
// restart does not apply the same preset again over the user's own changes:
//
//   # comment
//   output "NODE" "ROUTE"     ROUTE "-" for none
//   preset "PRESET"
//
// in the quoting of the profiles file (sink_profiles.h). A file that is not
// of this form (edited by hand, cut short) remembers nothing, with a message
// naming its line: follow then applies the profile again, which is safe.
#ifndef KORVA_CLI_SINK_FOLLOW_APPLIED_H
#define KORVA_CLI_SINK_FOLLOW_APPLIED_H

#include "cli/common/status.h"

#include <string>

// One output with the preset meant for it.
struct FollowTarget {
    std::string node, route, preset;
    bool operator==(const FollowTarget &other) const = default;
};

// The text's target; a failure names the line. No output line is no target.
Status parse_follow_applied(const std::string &text, const std::string &path, FollowTarget &target);

// The file's target; a missing file is no target.
Status read_follow_applied(const std::string &path, FollowTarget &target);

Status write_follow_applied(const std::string &path, const FollowTarget &target);

#endif

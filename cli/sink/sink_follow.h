// korva sink follow: applies the profile of the output Korva plays into
// (sink_profiles.h) whenever that output or its active route changes, as a
// preset load does (the master switch, reversed stereo and phase invert keep
// their values), live and in the sink's saved configuration.
//
// It holds two PipeWire connections (the output watch and the sink client)
// and runs until SIGTERM or SIGINT, holding the lock of follow_lock.h: a
// second follow exits at once with kExitFollowRunning. The output and preset of each profile
// applied are kept in $XDG_STATE_HOME/korva/follow-applied: on the same
// output with the same preset after a restart nothing is sent, so changes
// made by hand stay until the output changes. What it sees is written to
// $XDG_RUNTIME_DIR/korva/follow-state after every change, one "key: value"
// line each, in this order (a value runs to the end of its line, empty when
// there is nothing to say):
//   pipewire: connected | not running
//   sink: the sink's state in words (korva_sink_state_text)
//   output: the node.name Korva plays into
//   route: its active route
//   profile: the DEVICE that matched | fallback | none
//   preset: the profile's preset
//   applied: yes | kept (applied earlier; changes by hand stay) | no
//   problem: why the preset was not applied, or why it was not saved
#ifndef KORVA_CLI_SINK_FOLLOW_H
#define KORVA_CLI_SINK_FOLLOW_H

#include "cli/common/status.h"

#include <map>
#include <string>

// The exit status of a follow that does not start because another one runs
// (pwclient/follow_lock.h). korva-follow.service names it in
// RestartPreventExitStatus, so systemd does not start it again and again.
constexpr int kExitFollowRunning = 4;

// Runs until a signal; a failure only when it cannot start.
Status run_sink_follow();

// The state file is read with korva::pwclient::read_follow_state
// (pwclient/follow_state.h).

#endif

// What the window's set-up row does besides the install (sinksetup/): keep
// the edits made before the install, tell whether a user systemd answers
// (to offer a PipeWire restart through it), restart PipeWire, start the
// follow service, and read and change the output in use (PipeWire's default
// sink, through pw-metadata and the "default" metadata WirePlumber keeps).
// Interface thread; each program run waits at most a few seconds.
#ifndef KORVA_CONTROL_SETUP_ACTIONS_H
#define KORVA_CONTROL_SETUP_ACTIONS_H

#include "engine/korva.h"

#include <string>

namespace korva_control {

// $XDG_CONFIG_HOME/korva/pending-sink.kp: the window's settings while the
// sink is not installed, a preset file. Empty when no home is known.
std::string pending_settings_file();

// Reads the kept settings; false when there are none.
bool read_pending_settings(const std::string &file, KorvaParams &params);

// Keeps the settings (making the folder); false with `error` when it cannot.
bool write_pending_settings(const std::string &file, const KorvaParams &params, std::string &error);

// Whether `systemctl --user` reaches a user manager.
bool user_systemd_answers();

// Runs `systemctl --user ARGS...` and waits; false with `error` on failure.
bool run_user_systemctl(const char *const *args, std::string &error);

// The sink chosen as the default output ("default.configured.audio.sink"),
// else the one in use ("default.audio.sink"); empty when PipeWire has none
// or cannot be asked.
std::string default_sink();

// Makes `name` the chosen default output; an empty name forgets the choice.
bool set_default_sink(const std::string &name, std::string &error);

// $XDG_STATE_HOME/korva/output-before-korva: the output that was in use
// before Korva was made the default, so that "switch back" survives the
// window closing.
std::string previous_output_file();

}  // namespace korva_control

#endif

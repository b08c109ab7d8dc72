// korva-control: the configuration window bound to the running Korva sink.
// The window's model (ui/window_model.h) is the block kept by sink_mirror.h;
// control changes go to the node at once (the live client (pwlive)) and into
// the installed fragment through the rate-limited saver; the node's changes
// made elsewhere come back into the window. Everything here runs on the
// interface thread, GTK's main loop; the PipeWire client's callbacks are
// handed over with g_idle_add.
#ifndef KORVA_CONTROL_CONTROL_APP_H
#define KORVA_CONTROL_CONTROL_APP_H

namespace korva_control {

// Opens the window, runs the main loop until the window closes, saves what
// waits and returns the program's exit status (0; 1 when PipeWire's client
// library cannot start or GTK has no display). Call after gtk_init.
int run_control_window();

}  // namespace korva_control

#endif

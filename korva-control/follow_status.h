// Text the window title shows after the connection state, about the sink's
// per-output profiles (`korva sink follow`, which keeps its state in a file
// under $XDG_RUNTIME_DIR/korva/): the output in use and the profile applied
// to it, or why none was; "not running" when the state is left by a follow
// that has ended (sinkfiles/follow_lock.h). The window asks ten times a
// second; the file is read only when it was replaced. Interface thread only.
#ifndef KORVA_CONTROL_FOLLOW_STATUS_H
#define KORVA_CONTROL_FOLLOW_STATUS_H

#include <string>

namespace korva_control {

// "" without a state, else text starting with a separator, e.g.
// "; alsa_output.pci-0000_00_1f.3.analog-stereo:analog-output-headphones: Headphones".
std::string follow_title_text();

}  // namespace korva_control

#endif

// Text the window title shows after the connection state, about the sink's
// per-output profiles (`korva sink follow`, which keeps its state in a file
// under $XDG_RUNTIME_DIR/korva/). Empty until that state is read here; the
// title is refreshed from it every second.
#ifndef KORVA_CONTROL_FOLLOW_STATUS_H
#define KORVA_CONTROL_FOLLOW_STATUS_H

#include <string>

namespace korva_control {

// "" or text starting with a separator, e.g. "; profile: headphones".
std::string follow_title_text();

}  // namespace korva_control

#endif

// Text the window title shows after the connection state, about the sink's
// per-output profiles (`korva sink follow`, which keeps its state in a file
// under $XDG_RUNTIME_DIR/korva/). Empty until that state is read here. The
// window asks ten times a second (its title follows at once): keep it cheap,
// for example read the file only when its modification time changed.
#ifndef KORVA_CONTROL_FOLLOW_STATUS_H
#define KORVA_CONTROL_FOLLOW_STATUS_H

#include <string>

namespace korva_control {

// "" or text starting with a separator, e.g. "; profile: headphones".
std::string follow_title_text();

}  // namespace korva_control

#endif

#include "follow_status.h"

namespace korva_control {

std::string follow_title_text()
{
    return {};
}

}  // namespace korva_control

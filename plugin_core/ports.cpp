#include "ports.h"

#include <cmath>

extern "C" int32_t korva_port_value(int index, float value)
{
    if (index < 0 || index >= KORVA_PARAM_FIELD_COUNT)
        return 0;
    const KorvaControl &port = korva_controls[index];
    if (std::isnan(value))
        return korva_control_default(index);
    // Clamping first keeps lrintf within range for any float, infinities included.
    const float low = static_cast<float>(port.minimum), high = static_cast<float>(port.maximum);
    const float clamped = value < low ? low : value > high ? high : value;
    return static_cast<int32_t>(std::lrintf(clamped));
}

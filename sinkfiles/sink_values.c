#include "sink_values.h"

#include "engine/controls.h"

float korva_sink_control_value(int field, int32_t value)
{
    if (field < 0 || field >= KORVA_PARAM_FIELD_COUNT)
        return (float)value;
    const KorvaControl *control = &korva_controls[field];
    const int32_t used = value < control->minimum ? control->minimum : value > control->maximum ? control->maximum : value;
    return (float)used;
}

/*
 * The control ports that the LV2 and LADSPA plug-ins show: one per control
 * of engine/controls.h, in the order of the fields in the parameter block,
 * after the four audio ports. A port's range is the control's, and a host's
 * value enters the block rounded to the nearest integer and clamped to that
 * range. Nothing here knows about any host's API.
 */
#ifndef KORVA_PLUGIN_CORE_PORTS_H
#define KORVA_PLUGIN_CORE_PORTS_H

#include "engine/korva.h"
#include "engine/controls.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Port numbers: the audio ports first, then the controls in field order. */
enum {
    KORVA_PORT_IN_LEFT = 0,
    KORVA_PORT_IN_RIGHT = 1,
    KORVA_PORT_OUT_LEFT = 2,
    KORVA_PORT_OUT_RIGHT = 3,
    KORVA_PORT_FIRST_CONTROL = 4,
    KORVA_PORT_COUNT = KORVA_PORT_FIRST_CONTROL + KORVA_PARAM_FIELD_COUNT
};

/* The controls themselves (labels, ranges, menu items, defaults) are engine/controls.h. */

/*
 * What a host's value of control i puts into the block: rounded to the
 * nearest integer (ties to even) and clamped to the port's range. A value
 * that is not a number gives the port's default.
 */
int32_t korva_port_value(int index, float value);

#ifdef __cplusplus
}
#endif

#endif

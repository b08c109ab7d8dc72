/*
 * The Korva controls of the sink, as the running node and the saved
 * fragment both hold them: one value per parameter field, and changes to
 * some of them. No PipeWire here.
 */
#ifndef KORVA_SINKFILES_SINK_VALUES_H
#define KORVA_SINKFILES_SINK_VALUES_H

#include "engine/param_fields.h"

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The node's Korva controls, in parameter-field order. PipeWire keeps each
 * as a float (a toggle as a boolean, given here as 0 or 1). */
typedef struct KorvaSinkValues {
    bool present[KORVA_PARAM_FIELD_COUNT];   /* the node has control korva:FIELD */
    double value[KORVA_PARAM_FIELD_COUNT];
} KorvaSinkValues;

/* One control to change: a parameter field's index and its new value. */
typedef struct KorvaSinkChange {
    int field;
    float value;
} KorvaSinkChange;

/* What the sink's control `field` is given for a block field's `value`: the
 * value clamped to the control's range (engine/controls.h), the range the
 * window offers. The caller compares it with `value` to tell of a clamp. */
float korva_sink_control_value(int field, int32_t value);

#ifdef __cplusplus
}
#endif

#endif

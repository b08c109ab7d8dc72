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
/* The compare node's controls (compare:side, compare:korva_level,
 * compare:bypass_level; plugin_core/compare_fade.h), set only live: a sink
 * from a fragment older than the compare node has none. */
typedef struct KorvaSinkCompare {
    bool present;          /* the node has all three */
    double side;           /* 0 normal listening, 1 Korva's side, 2 the bypass */
    double korva_level;    /* each side's gain while it plays */
    double bypass_level;
} KorvaSinkCompare;

typedef struct KorvaSinkValues {
    bool present[KORVA_PARAM_FIELD_COUNT];   /* the node has control korva:FIELD */
    double value[KORVA_PARAM_FIELD_COUNT];
    KorvaSinkCompare compare;
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

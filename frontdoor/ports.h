/*
 * The control ports that the LV2 and LADSPA plug-ins show: one per parameter
 * field, in the order of the fields in the parameter block, after the four
 * audio ports. A port's range is what a person can set in the window, and a
 * host's value enters the block rounded to the nearest integer and clamped
 * to that range. Nothing here knows about any host's API.
 */
#ifndef KORVA_FRONTDOOR_PORTS_H
#define KORVA_FRONTDOOR_PORTS_H

#include "engine/korva.h"
#include "engine/param_fields.h"

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

typedef enum KorvaPortKind {
    KORVA_PORT_TOGGLE,   /* a check button: 0 or 1 */
    KORVA_PORT_CHOICE,   /* an option menu: its item positions */
    KORVA_PORT_AMOUNT,   /* a slider: a gain step */
    KORVA_PORT_MODES     /* a group of mode buttons, each setting one value */
} KorvaPortKind;

typedef struct KorvaScalePoint {
    int32_t value;
    const char *label;
} KorvaScalePoint;

typedef struct KorvaPort {
    const char *label;     /* the window's label, unique among the ports */
    KorvaPortKind kind;
    int32_t minimum;
    int32_t maximum;
    const KorvaScalePoint *points;   /* labelled values (choices, modes), or null */
    int point_count;
} KorvaPort;

/* korva_ports[i] controls korva_param_fields[i], port KORVA_PORT_FIRST_CONTROL + i. */
extern const KorvaPort korva_ports[KORVA_PARAM_FIELD_COUNT];

/* The engine's default of control i. */
int32_t korva_port_default(int index);

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

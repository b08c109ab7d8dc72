/*
 * The catalogue of the 32 controls, one per parameter field in block order:
 * what each is called, what kind of control sets it, the range a person can
 * set, its menu items or modes, and its default. Every front door that shows
 * the controls takes them from here: the LV2 and LADSPA ports, Audacious'
 * preferences and the configuration window's menus and brainwave modes.
 */
#ifndef KORVA_ENGINE_CONTROLS_H
#define KORVA_ENGINE_CONTROLS_H

#include "korva.h"
#include "param_fields.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum KorvaControlKind {
    KORVA_CONTROL_TOGGLE,   /* a check button: 0 or 1 */
    KORVA_CONTROL_CHOICE,   /* an option menu: its item positions */
    KORVA_CONTROL_AMOUNT,   /* a slider: a gain step */
    KORVA_CONTROL_MODES     /* a group of mode buttons, each setting one value */
} KorvaControlKind;

/* A menu item or mode: the value it sets and its text. */
typedef struct KorvaControlPoint {
    int32_t value;
    const char *label;
} KorvaControlPoint;

typedef struct KorvaControl {
    const char *label;     /* the window's label without its colon, unique among the controls */
    KorvaControlKind kind;
    int32_t minimum;
    int32_t maximum;
    const KorvaControlPoint *points;   /* menu items or modes in the window's order, or null */
    int point_count;
} KorvaControl;

/* korva_controls[i] sets korva_param_fields[i]. */
extern const KorvaControl korva_controls[KORVA_PARAM_FIELD_COUNT];

/* The engine's default of control i; 0 outside 0..31. */
int32_t korva_control_default(int index);

/* Control indices the front doors name on their own (block order). */
enum {
    KORVA_CONTROL_CHAIN_INDEX = 1,
    KORVA_CONTROL_3DSURROUND_MODE = 11,
    KORVA_CONTROL_EXTSPACE_MODE = 14,
    KORVA_CONTROL_EXTFX_MODE = 15,
    KORVA_CONTROL_VS_MODE = 18,
    KORVA_CONTROL_BW_MODE = 28,
    KORVA_CONTROL_BW_FQ = 29
};

#ifdef __cplusplus
}
#endif

#endif

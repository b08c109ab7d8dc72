/*
 * The compare node of the desktop sink: two stereo sides in (Korva's output
 * and the untouched input), one stereo output. Three controls choose what
 * plays: `side` 0 (normal listening: Korva's side at full level), 1 (Korva's
 * side at korva_level) or 2 (the input at bypass_level). Each side's gain
 * moves to its new value in a straight line over kCompareFadeSeconds, one
 * step a sample, so a switch is a short crossfade and never a step.
 *
 * The levels the controls carry are the client's estimate (measured on a
 * reference clip). While the compare is on, the node measures both sides'
 * loudness on the music actually playing (loudness_window.h, the last ten
 * seconds) and, once a second of music has passed the gates, lowers the
 * louder side by the measured difference instead, moving at most 1 dB a
 * 100 ms step; once settled the gains stay still until the measure moves
 * more than 0.2 dB away. A change of korva_level or bypass_level (new settings, new
 * estimate) or a start of the compare forgets what was measured. The
 * output control match_db tells the difference in use (Korva minus the
 * input, dB; 0 when off).
 *
 * A side whose gain is 0 is not read, and a gain of exactly 1 leaves its
 * samples as they are: in normal listening the output is Korva's output bit
 * for bit. Real-time safe: no allocation, lock or system call in run.
 */
#ifndef KORVA_PLUGIN_CORE_COMPARE_FADE_H
#define KORVA_PLUGIN_CORE_COMPARE_FADE_H

#include "loudness_window.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KORVA_COMPARE_FADE_SECONDS 0.04
/* No side is lowered by more than this (one near silence cannot be matched). */
#define KORVA_COMPARE_MAX_DB 60.0

/* The compare node's ports, in LADSPA order. */
enum {
    KORVA_COMPARE_PORT_KORVA_LEFT = 0,
    KORVA_COMPARE_PORT_KORVA_RIGHT,
    KORVA_COMPARE_PORT_INPUT_LEFT,
    KORVA_COMPARE_PORT_INPUT_RIGHT,
    KORVA_COMPARE_PORT_OUT_LEFT,
    KORVA_COMPARE_PORT_OUT_RIGHT,
    KORVA_COMPARE_PORT_SIDE,
    KORVA_COMPARE_PORT_KORVA_LEVEL,
    KORVA_COMPARE_PORT_BYPASS_LEVEL,
    KORVA_COMPARE_PORT_MATCH_DB,
    KORVA_COMPARE_PORT_COUNT
};

enum { KORVA_COMPARE_OFF = 0, KORVA_COMPARE_KORVA = 1, KORVA_COMPARE_BYPASS = 2 };

typedef struct KorvaCompareFade {
    float *port[KORVA_COMPARE_PORT_COUNT];
    double step;            /* gain change per sample */
    double gain_korva;      /* the gains now */
    double gain_input;
    int started;            /* the gains hold their targets' values at least once */
    KorvaLoudnessWindow korva_loudness, input_loudness;
    float seen_side, seen_korva_level, seen_bypass_level;   /* the controls as last run */
    int measured;           /* difference_db holds a measure */
    double difference_db;   /* Korva minus the input, as measured (smoothed) */
    double applied_db;      /* the difference the gains stand for */
} KorvaCompareFade;

/* The targets the controls ask for: Korva's gain and the input's. A level
 * outside 0..1 or not a number counts as 1, a side other than 1 or 2 as 0. */
void korva_compare_targets(float side, float korva_level, float bypass_level, double *korva, double *input);

/* The gain of the louder side for a difference in dB (Korva minus the
 * input; limited to 60 dB): korva and input levels, one of them 1. */
void korva_compare_levels(double difference_db, double *korva, double *input);

void korva_compare_init(KorvaCompareFade *fade, double sample_rate);

/* The next run starts at the targets, with no fade (a sink starting). */
void korva_compare_activate(KorvaCompareFade *fade);

/* Runs `frames` frames; nothing is written without every audio port. */
void korva_compare_run(KorvaCompareFade *fade, size_t frames);

#ifdef __cplusplus
}
#endif

#endif

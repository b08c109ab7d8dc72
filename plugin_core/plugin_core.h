/*
 * What the LV2 and the LADSPA plug-in share: one engine per instance, the
 * port connections, and run(), which reads the 32 controls into the
 * parameter block and passes the audio through the engine in 16 bits. Each
 * host's adapter only maps its callbacks onto these.
 *
 * Threading, as both standards define it: korva_core_run runs on the audio
 * thread and is real-time safe (no allocation, lock, I/O or system call);
 * connect may be called between runs on the same thread; new, activate and
 * delete are never called at the same time as run.
 */
#ifndef KORVA_PLUGIN_CORE_PLUGIN_CORE_H
#define KORVA_PLUGIN_CORE_PLUGIN_CORE_H

#include "ports.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Frames converted per engine call; any block length is run in such chunks. */
#define KORVA_CORE_CHUNK 256

typedef struct KorvaPluginCore {
    KorvaEngine *engine;
    const float *controls[KORVA_PARAM_FIELD_COUNT];
    const float *input[2];
    float *output[2];
    int16_t frames[2 * KORVA_CORE_CHUNK];   /* interleaved, left first */
    /* The control values the block was last built from (NaN: unconnected). */
    float applied[KORVA_PARAM_FIELD_COUNT];
    int applied_valid;
} KorvaPluginCore;

/*
 * A new instance at the host's sample rate (rounded to whole hertz; a rate
 * the engine cannot take, below 1 or not a number, runs as 44100 Hz). Null
 * when memory runs out.
 */
KorvaPluginCore *korva_core_new(double sample_rate);
void korva_core_delete(KorvaPluginCore *core);

/* Connects port `port` (see ports.h) to the host's buffer; others are ignored. */
void korva_core_connect(KorvaPluginCore *core, uint32_t port, void *data);

/* Clears the working state, keeping the parameters and the rate. */
void korva_core_activate(KorvaPluginCore *core);

/*
 * Reads the controls once (an unconnected control counts as its default),
 * then runs `frames` frames from the inputs to the outputs; they may be the
 * same buffers. Without all four audio buffers nothing is written.
 */
void korva_core_run(KorvaPluginCore *core, size_t frames);

#ifdef __cplusplus
}
#endif

#endif

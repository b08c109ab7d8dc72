/*
 * The loudness of the last few seconds of a stereo signal after EBU R 128
 * (ITU-R BS.1770): K-weighted, in 400 ms blocks every 100 ms, gated at
 * -70 LUFS and 10 LU under the window's own mean. Fixed memory, real-time
 * safe: the compare node runs one for each side on the music playing.
 */
#ifndef KORVA_PLUGIN_CORE_LOUDNESS_WINDOW_H
#define KORVA_PLUGIN_CORE_LOUDNESS_WINDOW_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Blocks kept: 10 seconds of 100 ms steps. */
#define KORVA_LOUDNESS_BLOCKS 100

typedef struct KorvaBiquad {
    double b0, b1, b2, a1, a2;
} KorvaBiquad;

typedef struct KorvaLoudnessWindow {
    KorvaBiquad shelf, highpass;
    double state[2][8];          /* per channel: each filter's x1 x2 y1 y2 */
    long hop_frames;             /* frames in 100 ms */
    long in_hop;                 /* frames summed into the current hop */
    double hop_sum;
    double hops[4];              /* the last four hops' mean squares */
    int hop_count;               /* hops so far, up to 4 */
    int next_hop;
    double blocks[KORVA_LOUDNESS_BLOCKS];   /* block mean squares, a ring */
    int block_count, next_block;
} KorvaLoudnessWindow;

void korva_loudness_init(KorvaLoudnessWindow *window, double sample_rate);

/* Forgets every block (the filters keep their state). */
void korva_loudness_clear(KorvaLoudnessWindow *window);

/* Takes one stereo frame in; true when it completed a block. */
int korva_loudness_add(KorvaLoudnessWindow *window, float left, float right);

/* The gated loudness of the blocks held, in LUFS; false when fewer than
 * `minimum` blocks pass the gates. */
int korva_loudness_read(const KorvaLoudnessWindow *window, int minimum, double *lufs);

#ifdef __cplusplus
}
#endif

#endif

/*
 * The audio side of the Audacious effect: one engine, the stream's channel
 * count and rate, and the lock that whole-record rewrites take against a
 * block in progress. Audacious hands audio over as interleaved float; stereo
 * goes through the engine as 16-bit frames, any other channel count passes
 * through untouched. No latency: every call returns as many samples as it got.
 */
#ifndef KORVA_AUDACIOUS_STREAM_H
#define KORVA_AUDACIOUS_STREAM_H

#include "engine/korva.h"

#include <mutex>

struct KorvaAudStream {
    KorvaEngine *engine = nullptr;
    int channels = 0;   // from start(); 0 before the first start
    int rate = KORVA_DEFAULT_RATE;
    // Held by process() for a whole block and by the interface thread around a
    // rewrite of the whole record (Reset, preset load), never longer.
    std::mutex lock;
};

extern "C" {

/* A stream with a fresh engine; null when the engine cannot be allocated. */
KorvaAudStream *korva_aud_stream_new(void);
/* Releases the stream and its engine; null is allowed. */
void korva_aud_stream_delete(KorvaAudStream *stream);

/*
 * A new song's format. The rate reaches the engine; the working state is kept,
 * as in a continuous stream (gapless playback). Neither value is changed: the
 * effect keeps the format.
 */
void korva_aud_start(KorvaAudStream *stream, int channels, int rate);

/*
 * Processes `count` interleaved samples in place. Stereo: each sample x
 * becomes the 16-bit value round-to-nearest(x * 32768) clipped to
 * -32768..32767 (NaN as 0), goes through the engine, and comes back as
 * s / 32768. So 16-bit audio, which arrives as s / 32768, meets the engine as
 * exactly the samples a 16-bit file holds. A trailing half frame and every
 * other channel count pass through. Real-time safe: no allocation.
 */
void korva_aud_process(KorvaAudStream *stream, float *samples, int count);

/* A seek: every stage back to silence; parameters and rate are kept. */
void korva_aud_flush(KorvaAudStream *stream);

/* End of a song: the engine holds nothing back, so this is process(). */
void korva_aud_finish(KorvaAudStream *stream, float *samples, int count);

}

#endif

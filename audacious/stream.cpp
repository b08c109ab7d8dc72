#include "stream.h"

#include "engine/samples.h"

#include <new>

extern "C" KorvaAudStream *korva_aud_stream_new(void)
{
    KorvaEngine *engine = korva_new();
    if (engine == nullptr)
        return nullptr;
    auto *stream = new (std::nothrow) KorvaAudStream;
    if (stream == nullptr) {
        korva_delete(engine);
        return nullptr;
    }
    stream->engine = engine;
    return stream;
}

extern "C" void korva_aud_stream_delete(KorvaAudStream *stream)
{
    if (stream == nullptr)
        return;
    korva_delete(stream->engine);
    delete stream;
}

extern "C" void korva_aud_start(KorvaAudStream *stream, int channels, int rate)
{
    if (stream == nullptr)
        return;
    std::lock_guard<std::mutex> guard(stream->lock);
    stream->channels = channels;
    stream->rate = rate;
    // The engine runs a rate of 0 or below as 44100 Hz.
    stream->engine->sample_rate = rate;
}

extern "C" void korva_aud_process(KorvaAudStream *stream, float *samples, int count)
{
    if (stream == nullptr || samples == nullptr || count < 2)
        return;
    std::lock_guard<std::mutex> guard(stream->lock);
    if (stream->channels != 2)
        return;

    // A fixed chunk on the stack: the engine keeps its state between calls,
    // so chunking changes nothing in the result.
    constexpr int chunk_frames = 512;
    int16_t frames[chunk_frames * 2];
    const int total = count / 2;
    for (int done = 0; done < total; done += chunk_frames) {
        const int n = total - done < chunk_frames ? total - done : chunk_frames;
        float *at = samples + static_cast<std::size_t>(done) * 2;
        for (int i = 0; i < n * 2; ++i)
            frames[i] = korva_sample_from_float(at[i]);
        korva_process(stream->engine, frames, frames, n);
        for (int i = 0; i < n * 2; ++i)
            at[i] = korva_sample_to_float(frames[i]);
    }
}

extern "C" void korva_aud_flush(KorvaAudStream *stream)
{
    if (stream == nullptr)
        return;
    std::lock_guard<std::mutex> guard(stream->lock);
    korva_clear_state(stream->engine);
}

extern "C" void korva_aud_finish(KorvaAudStream *stream, float *samples, int count)
{
    korva_aud_process(stream, samples, count);
}

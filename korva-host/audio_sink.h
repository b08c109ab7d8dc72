/*
 * Where the processed audio goes: a WAV file written as fast as possible, or
 * the desktop's sound system (PulseAudio, else ALSA) paced in real time.
 * Every sink takes signed 16-bit interleaved frames in host byte order.
 */
#ifndef KORVA_KORVA_HOST_AUDIO_SINK_H
#define KORVA_KORVA_HOST_AUDIO_SINK_H

#include "sample_format.h"

#include <cstdint>
#include "fileio/file_replace.h"

#include <memory>
#include <string>

struct sf_private_tag;
struct pa_simple;
struct _snd_pcm;

enum class SinkKind { none, file, pulse, alsa };

struct AudioSink {
    SinkKind kind = SinkKind::none;
    int channels = 0;
    int rate = 0;
    std::string name;                // the file, or the sound system's name
    sf_private_tag *file = nullptr;
    // A file output is written beside its target and takes its place when
    // closed, whole (fileio's replacement policy; a device or FIFO is written
    // directly): a failed render leaves an earlier file as it was.
    std::unique_ptr<korva::fileio::Replacement> replacement;
    bool failed = false;   // a write failed: closing keeps the earlier file
    pa_simple *pulse = nullptr;
    _snd_pcm *alsa = nullptr;
};

// A WAV file with the given channels and rate. 8-bit formats are written as
// 8-bit WAV (unsigned, as WAV stores it), 16-bit formats as 16-bit WAV, so
// each output sample carries exactly the sample the plug-in handed back.
// The file appears when the sink is closed, also after an interruption, with
// the frames written until then.
bool audio_sink_open_file(AudioSink &sink, const std::string &path, const SampleFormat &fmt, int channels,
                          int rate, std::string &error);

// The live output: PulseAudio first, ALSA's default device when PulseAudio
// is not available. The error names both reasons when neither opens.
bool audio_sink_open_live(AudioSink &sink, int channels, int rate, std::string &error);

// Writes frames frames; a live sink blocks until the sound system takes them.
bool audio_sink_write(AudioSink &sink, const int16_t *samples, int64_t frames, std::string &error);

// Live sinks: waits until everything written has been played.
void audio_sink_drain(AudioSink &sink);

// Live sinks: drops what is queued, for an immediate stop.
void audio_sink_discard(AudioSink &sink);

// Finishes and closes; a file is complete only after this.
bool audio_sink_close(AudioSink &sink, std::string &error);

// Implemented beside the live back ends.
bool audio_sink_live_write(AudioSink &sink, const int16_t *samples, int64_t frames, std::string &error);
void audio_sink_live_close(AudioSink &sink);

#endif

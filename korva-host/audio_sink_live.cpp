// Live output: PulseAudio's simple API, or ALSA when no PulseAudio server
// answers. Both block in write until the device has room, which paces the
// audio thread in real time.
#include "audio_sink.h"

#include <alsa/asoundlib.h>
#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

constexpr unsigned alsa_latency_us = 200000;

bool open_pulse(AudioSink &sink, int channels, int rate, std::string &error)
{
    pa_sample_spec sample_format{};
    sample_format.format = PA_SAMPLE_S16NE;
    sample_format.channels = static_cast<uint8_t>(channels);
    sample_format.rate = static_cast<uint32_t>(rate);
    if (channels > static_cast<int>(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&sample_format)) {
        error = "PulseAudio cannot play " + std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz";
        return false;
    }
    int status = 0;
    pa_simple *pulse = pa_simple_new(nullptr, "korva-host", PA_STREAM_PLAYBACK, nullptr, "playback", &sample_format,
                                     nullptr, nullptr, &status);
    if (pulse == nullptr) {
        error = std::string("PulseAudio: ") + pa_strerror(status);
        return false;
    }
    sink.kind = SinkKind::pulse;
    sink.pulse = pulse;
    sink.name = "PulseAudio";
    return true;
}

// ALSA's library prints its own diagnostics while looking for a device; the
// reason that matters reaches the user once, in this program's message.
void quiet_alsa_error(const char *, int, const char *, int, const char *, ...) {}

bool open_alsa(AudioSink &sink, int channels, int rate, std::string &error)
{
    snd_lib_error_set_handler(quiet_alsa_error);
    snd_pcm_t *pcm = nullptr;
    int status = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (status < 0) {
        error = std::string("ALSA: ") + snd_strerror(status);
        return false;
    }
    status = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                                static_cast<unsigned>(channels), static_cast<unsigned>(rate), 1, alsa_latency_us);
    if (status < 0) {
        error = std::string("ALSA: ") + snd_strerror(status);
        snd_pcm_close(pcm);
        return false;
    }
    sink.kind = SinkKind::alsa;
    sink.alsa = pcm;
    sink.name = "ALSA";
    return true;
}

} // namespace

bool audio_sink_open_live(AudioSink &sink, int channels, int rate, std::string &error)
{
    sink = AudioSink{};
    sink.channels = channels;
    sink.rate = rate;
    std::string pulse_error;
    if (open_pulse(sink, channels, rate, pulse_error))
        return true;
    std::string alsa_error;
    if (open_alsa(sink, channels, rate, alsa_error))
        return true;
    sink = AudioSink{};
    error = "no sound output: " + pulse_error + "; " + alsa_error;
    return false;
}

bool audio_sink_live_write(AudioSink &sink, const int16_t *samples, int64_t frames, std::string &error)
{
    if (sink.kind == SinkKind::pulse) {
        int status = 0;
        const size_t bytes = static_cast<size_t>(frames) * static_cast<size_t>(sink.channels) * sizeof(int16_t);
        if (pa_simple_write(sink.pulse, samples, bytes, &status) < 0) {
            error = std::string("PulseAudio: ") + pa_strerror(status);
            return false;
        }
        return true;
    }
    if (sink.kind == SinkKind::alsa) {
        while (frames > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(sink.alsa, samples, static_cast<snd_pcm_uframes_t>(frames));
            if (written < 0) {
                // An underrun or a suspend is recoverable; anything else ends playback.
                if (snd_pcm_recover(sink.alsa, static_cast<int>(written), 1) < 0) {
                    error = std::string("ALSA: ") + snd_strerror(static_cast<int>(written));
                    return false;
                }
                continue;
            }
            samples += written * sink.channels;
            frames -= written;
        }
        return true;
    }
    error = "no sound output is open";
    return false;
}

void audio_sink_drain(AudioSink &sink)
{
    if (sink.kind == SinkKind::pulse)
        pa_simple_drain(sink.pulse, nullptr);
    else if (sink.kind == SinkKind::alsa)
        snd_pcm_drain(sink.alsa);
}

void audio_sink_discard(AudioSink &sink)
{
    if (sink.kind == SinkKind::pulse) {
        pa_simple_flush(sink.pulse, nullptr);
    } else if (sink.kind == SinkKind::alsa) {
        snd_pcm_drop(sink.alsa);
        snd_pcm_prepare(sink.alsa);
    }
}

void audio_sink_live_close(AudioSink &sink)
{
    if (sink.kind == SinkKind::pulse && sink.pulse != nullptr)
        pa_simple_free(sink.pulse);
    else if (sink.kind == SinkKind::alsa && sink.alsa != nullptr)
        snd_pcm_close(sink.alsa);
}

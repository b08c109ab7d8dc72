#include "audio_sink.h"

#include "audio/stream_writer.h"

#include <sndfile.h>
#include <unistd.h>

#include <cstring>

namespace {

std::string replacement_error(const korva::fileio::Replacement &r)
{
    std::string text = korva::fileio::step_text(r.error.step);
    if (r.error.number != 0)
        text += std::string(": ") + std::strerror(r.error.number);
    return text;
}

}  // namespace

bool audio_sink_open_file(AudioSink &sink, const std::string &path, const SampleFormat &fmt, int channels,
                          int rate, std::string &error)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (fmt.bytes == 1 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    if (!sf_format_check(&info)) {
        error = path + ": a WAV file cannot hold " + std::to_string(channels) + " channels at " +
                std::to_string(rate) + " Hz";
        return false;
    }
    auto replacement = std::make_unique<korva::fileio::Replacement>();
    if (!korva::fileio::begin_replacement(path.c_str(), korva::fileio::NonRegular::write_through, *replacement)) {
        error = path + ": " + replacement_error(*replacement);
        return false;
    }
    // A FIFO cannot seek back to the header: WAV goes into it as a stream.
    std::string reason;
    SNDFILE *file = lseek(replacement->fd, 0, SEEK_CUR) < 0 ? open_stream_writer(replacement->fd, info, reason)
                                                             : sf_open_fd(replacement->fd, SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) {
        error = path + ": " + (reason.empty() ? std::string(sf_strerror(nullptr)) : reason);
        korva::fileio::abandon_replacement(*replacement);
        return false;
    }
    sink = AudioSink{};
    sink.replacement = std::move(replacement);
    sink.kind = SinkKind::file;
    sink.channels = channels;
    sink.rate = rate;
    sink.name = path;
    sink.file = file;
    return true;
}

bool audio_sink_write(AudioSink &sink, const int16_t *samples, int64_t frames, std::string &error)
{
    if (frames <= 0)
        return true;
    if (sink.kind != SinkKind::file)
        return audio_sink_live_write(sink, samples, frames, error);
    const sf_count_t written = sf_writef_short(sink.file, samples, frames);
    if (written != frames || sf_error(sink.file) != SF_ERR_NO_ERROR) {
        sink.failed = true;
        error = sink.name + ": " + sf_strerror(sink.file);
        return false;
    }
    return true;
}

bool audio_sink_close(AudioSink &sink, std::string &error)
{
    bool ok = true;
    if (sink.kind == SinkKind::file && sink.file != nullptr) {
        const int status = sf_close(sink.file);
        if (status != 0) {
            error = sink.name + ": " + sf_error_number(status);
            ok = false;
        }
        if (!ok || sink.failed) {
            korva::fileio::abandon_replacement(*sink.replacement);
        } else if (!korva::fileio::commit_replacement(*sink.replacement)) {
            error = sink.name + ": " + replacement_error(*sink.replacement);
            ok = false;
        }
    } else if (sink.kind != SinkKind::none) {
        audio_sink_live_close(sink);
    }
    sink = AudioSink{};
    return ok;
}

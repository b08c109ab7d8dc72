#include "audio_output.h"

#include "audio/sndfile_reason.h"
#include "audio/stream_writer.h"
#include "fileio/file_replace.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a write the encoder gives no reason for most likely ran into.
constexpr const char *kWriteFailed = "the encoder could not write it (is the disk full?)";

// Output I/O on the replacement's descriptor; see OutputIo.
sf_count_t io_length(void *user)
{
    struct stat status {};
    return fstat(static_cast<OutputIo *>(user)->fd, &status) == 0 ? status.st_size : -1;
}

sf_count_t io_seek(sf_count_t offset, int whence, void *user)
{
    auto &io = *static_cast<OutputIo *>(user);
    const off_t at = lseek(io.fd, offset, whence);
    if (at < 0 && io.error == 0)
        io.error = errno;
    return at;
}

sf_count_t io_read(void *data, sf_count_t count, void *user)
{
    const ssize_t got = read(static_cast<OutputIo *>(user)->fd, data, static_cast<std::size_t>(count));
    return got < 0 ? 0 : got;
}

sf_count_t io_write(const void *data, sf_count_t count, void *user)
{
    auto &io = *static_cast<OutputIo *>(user);
    if (!korva::fileio::write_all(io.fd, data, static_cast<std::size_t>(count))) {
        if (io.error == 0)
            io.error = errno != 0 ? errno : EIO;
        return 0;
    }
    return count;
}

sf_count_t io_tell(void *user)
{
    return lseek(static_cast<OutputIo *>(user)->fd, 0, SEEK_CUR);
}

// The first failure of the output so far, from the descriptor or from
// libsndfile; empty when there is none.
std::string output_failure(AudioOutput &output)
{
    if (output.io && output.io->error != 0)
        return std::strerror(output.io->error);
    if (output.file && sf_error(output.file.get()) != SF_ERR_NO_ERROR)
        return sndfile_reason(output.file.get(), kWriteFailed);
    return {};
}

} // namespace

Status open_output(int fd, const std::string &display_path, const OutputFormat &format, int sample_rate,
                   AudioOutput &output)
{
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = 2;
    info.format = format.sndfile_format();
    output.path = display_path;
    output.format = format;
    if (!sf_format_check(&info))
        return failure(display_path + ": this format cannot hold 16-bit stereo at " +
                       std::to_string(sample_rate) + " Hz");
    if (lseek(fd, 0, SEEK_CUR) >= 0) {
        output.io = std::make_unique<OutputIo>();
        output.io->fd = fd;
        SF_VIRTUAL_IO calls{io_length, io_seek, io_read, io_write, io_tell};
        output.file.reset(sf_open_virtual(&calls, SFM_WRITE, &info, output.io.get()));
    } else {
        output.io.reset();
        std::string reason;
        output.file.reset(open_stream_writer(fd, info, reason));
        if (!output.file)
            return failure(display_path + ": cannot write: " + reason);
    }
    if (!output.file) {
        const std::string reason = output.io && output.io->error != 0 ? std::strerror(output.io->error)
                                                                      : sndfile_reason(nullptr, "the encoder could not start");
        return failure(display_path + ": cannot write: " + reason);
    }
    if (format.lossy) {
        double level = format.compression_level;
        if (sf_command(output.file.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE)
            return failure(display_path + ": the encoder refused the quality setting");
    }
    return success();
}

Status write_stereo(AudioOutput &output, std::span<const int16_t> stereo)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    sf_count_t written = 0;
    if (output.format.container == SF_FORMAT_MPEG) {
        // libsndfile 1.2.0 copies only half of each block of 16-bit stereo
        // samples on its way to LAME (a byte count where a sample count
        // belongs), so MP3 gets the same values as 32-bit integers, whose
        // path is intact: s * 65536 is exactly s at 16 bits.
        output.scratch.resize(stereo.size());
        for (std::size_t i = 0; i < stereo.size(); ++i)
            output.scratch[i] = static_cast<int>(stereo[i]) * 65536;
        written = sf_writef_int(output.file.get(), output.scratch.data(), frames);
    } else {
        written = sf_writef_short(output.file.get(), stereo.data(), frames);
    }
    const std::string problem = output_failure(output);
    if (written != frames || !problem.empty())
        return failure(output.path + ": write error: " + (problem.empty() ? kWriteFailed : problem));
    return success();
}

Status write_stereo_float(AudioOutput &output, std::span<float> stereo)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    for (float &sample : stereo)
        sample = sample != sample ? 0.0f : std::clamp(sample, -1.0f, 1.0f);
    const sf_count_t written = sf_writef_float(output.file.get(), stereo.data(), frames);
    const std::string problem = output_failure(output);
    if (written != frames || !problem.empty())
        return failure(output.path + ": write error: " + (problem.empty() ? kWriteFailed : problem));
    return success();
}

Status write_stereo_at_depth(AudioOutput &output, std::span<const float> stereo, int64_t &clipped)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    sf_count_t written = 0;
    const int samples = output.format.samples;
    if (samples == SF_FORMAT_FLOAT || samples == SF_FORMAT_DOUBLE) {   // 64-bit takes each float exactly
        // Float files hold any value; only what is no number at all (a
        // runaway setting's) counts as not fitting.
        for (const float x : stereo)
            clipped += !std::isfinite(x);
        written = sf_writef_float(output.file.get(), stereo.data(), frames);
    } else if (output.format.lossy) {
        output.float_scratch.resize(stereo.size());
        for (std::size_t i = 0; i < stereo.size(); ++i) {
            const float x = stereo[i];
            clipped += !(x >= -1.0f && x <= 1.0f);
            output.float_scratch[i] = x != x ? 0.0f : std::clamp(x, -1.0f, 1.0f);
        }
        written = sf_writef_float(output.file.get(), output.float_scratch.data(), frames);
    } else {
        // B-bit values left-aligned in 32 bits, which libsndfile narrows
        // exactly to the file's B bits. At 16 bits this is
        // engine/sample16.h's round_even_full of x * 32768.
        const int bits = samples == SF_FORMAT_PCM_24 ? 24 : samples == SF_FORMAT_PCM_32 ? 32 : 16;
        const double scale = std::ldexp(1.0, bits - 1);
        const int shift = 32 - bits;
        output.scratch.resize(stereo.size());
        for (std::size_t i = 0; i < stereo.size(); ++i) {
            const double s = std::nearbyint(static_cast<double>(stereo[i]) * scale);
            const double kept = std::clamp(s, -scale, scale - 1.0);
            clipped += kept != s || std::isnan(s);
            const auto value = std::isnan(s) ? 0 : static_cast<int64_t>(kept);
            output.scratch[i] = static_cast<int>(static_cast<uint32_t>(value) << shift);
        }
        written = sf_writef_int(output.file.get(), output.scratch.data(), frames);
    }
    const std::string problem = output_failure(output);
    if (written != frames || !problem.empty())
        return failure(output.path + ": write error: " + (problem.empty() ? kWriteFailed : problem));
    return success();
}

Status close_output(AudioOutput &output)
{
    SNDFILE *file = output.file.release();
    if (file == nullptr)
        return success();
    const int error = sf_close(file);
    if (output.io && output.io->error != 0)
        return failure(output.path + ": error finishing the file: " + std::strerror(output.io->error));
    if (error != SF_ERR_NO_ERROR)
        return failure(output.path + ": error finishing the file: " + sndfile_reason(error, kWriteFailed));
    return success();
}

#include "audio_file.h"

#include "sndfile_reason.h"
#include "engine/samples.h"
#include "fileio/file_replace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int block_limit = 1 << 20;   // frames per libsndfile call, well inside int

// What a write the encoder gives no reason for most likely ran into.
constexpr const char *kWriteFailed = "the encoder could not write it (is the disk full?)";

// Why libsndfile could not open a file for reading. Its own text can be
// misleading (a damaged MP3 is reported as "does not exist"), so a file the
// system can open is called what it is: not audio korva can read.
std::string unreadable_reason(const std::string &path)
{
    const int library_error = sf_error(nullptr);
    const std::string library = sndfile_reason(nullptr, "unknown");
    struct stat status {};
    if (path == "-") {
        // Standard input: fstat tells an empty file; a pipe may have been empty too.
        if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0)
            return "it is empty";
        return "it is empty, or not audio in a format korva reads from a pipe";
    }
    if (stat(path.c_str(), &status) != 0)
        return std::strerror(errno);
    if (S_ISDIR(status.st_mode))
        return std::strerror(EISDIR);
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    close(fd);
    const bool telling = library_error == SF_ERR_UNRECOGNISED_FORMAT || library_error == SF_ERR_MALFORMED_FILE ||
                         library_error == SF_ERR_UNSUPPORTED_ENCODING;
    return "not audio in a format korva reads, or damaged" + (telling ? " (" + library + ")" : std::string());
}

bool is_float_subtype(int format)
{
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

uint32_t le32(const unsigned char *bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint64_t le64(const unsigned char *bytes)
{
    return le32(bytes) | static_cast<uint64_t>(le32(bytes + 4)) << 32;
}

// The frames a WAV or RF64 file's header says its data chunk holds: the
// chunk's size over the frame size of its fmt chunk. libsndfile gives only
// the frames present, so a cut file is found by reading the header here
// (with pread, so the reader's position stays). -1 when the header states no
// size (0 or 0xFFFFFFFF, as streaming writers leave it) or cannot be
// followed within its first chunks.
int64_t wav_declared_frames(int fd)
{
    unsigned char riff[12];
    if (pread(fd, riff, sizeof riff, 0) != static_cast<ssize_t>(sizeof riff) ||
        (std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RF64", 4) != 0) ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return -1;
    uint64_t ds64_data = 0;
    uint32_t frame_bytes = 0;
    off_t at = 12;
    for (int chunk = 0; chunk < 64; ++chunk) {
        unsigned char head[8 + 24];
        const ssize_t got = pread(fd, head, sizeof head, at);
        if (got < 8)
            return -1;
        const uint32_t size = le32(head + 4);
        if (std::memcmp(head, "ds64", 4) == 0 && got >= 8 + 16) {
            ds64_data = le64(head + 16);
        } else if (std::memcmp(head, "fmt ", 4) == 0 && got >= 8 + 14) {
            frame_bytes = head[8 + 12] | head[8 + 13] << 8;
        } else if (std::memcmp(head, "data", 4) == 0) {
            const uint64_t data = size == 0xFFFFFFFFu && ds64_data != 0 ? ds64_data : size;
            if (frame_bytes == 0 || data == 0 || data == 0xFFFFFFFFu)
                return -1;
            return static_cast<int64_t>(data / frame_bytes);
        }
        at += 8 + static_cast<off_t>(size) + (size & 1);
    }
    return -1;
}

// Bytes per sample of a PCM or float subtype; 0 for the others.
int sample_bytes(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8: case SF_FORMAT_PCM_U8: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32: case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
    }
}

// What the header says of the length: see AudioInput. From a pipe the WAV
// header cannot be read twice, but libsndfile then gives the header's own
// count, unless it is a streaming writer's placeholder (2 GiB and more).
void find_declared_length(const std::string &path, AudioInput &input)
{
    const bool from_stdin = path == "-";
    const int fd = from_stdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_NONBLOCK);
    struct stat status {};
    const bool regular = fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const int major = input.info.format & SF_FORMAT_TYPEMASK;
    const bool wav = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
    const sf_count_t frames = input.info.frames;
    if (wav && regular) {
        input.declared_frames = wav_declared_frames(fd);
    } else if (wav && frames != SF_COUNT_MAX) {
        const double bytes = static_cast<double>(frames) * input.info.channels * sample_bytes(input.info.format);
        if (bytes > 0 && bytes < 0x7FFF0000)
            input.declared_frames = frames;
    } else if (!wav && frames != SF_COUNT_MAX) {
        input.declared_frames = frames;
    } else if (major == SF_FORMAT_OGG && regular) {
        input.length_unknown = true;   // libsndfile finds the end of a whole Ogg file
    }
    if (fd >= 0 && !from_stdin)
        close(fd);
}

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

Status open_input(const std::string &path, AudioInput &input)
{
    input.path = path;
    input.info = SF_INFO{};
    input.file.reset(sf_open(path.c_str(), SFM_READ, &input.info));
    if (!input.file)
        return failure((path == "-" ? std::string("standard input") : path) + ": cannot read: " +
                       unreadable_reason(path) + "; korva reads " + readable_types());
    if (input.info.channels < 1 || input.info.channels > 2)
        return failure(path + ": has " + std::to_string(input.info.channels) +
                       " channels; only mono and stereo files can be processed");
    if (input.info.samplerate < kLowestInputRate || input.info.samplerate > kHighestInputRate)
        return failure(path + ": the header gives a sample rate of " + std::to_string(input.info.samplerate) +
                       " Hz; korva takes " + std::to_string(kLowestInputRate) + " to " +
                       std::to_string(kHighestInputRate) + " Hz");
    // Decoders that work in floats (Vorbis, Opus, MP3) clip beyond full
    // scale instead of wrapping.
    sf_command(input.file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    input.float_samples = is_float_subtype(input.info.format);
    find_declared_length(path, input);
    return success();
}

Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read)
{
    frames_read = 0;
    const int channels = input.info.channels;
    const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(stereo.size() / 2, block_limit));
    sf_count_t got = 0;
    if (input.float_samples) {
        input.float_scratch.resize(static_cast<std::size_t>(wanted * channels));
        got = sf_readf_float(input.file.get(), input.float_scratch.data(), wanted);
        // Rounding to 16 bits already treats a damaged sample as the float
        // path's rule replaces it; it is only counted here.
        for (sf_count_t i = 0; i < got; ++i) {
            float *frame = input.float_scratch.data() + i * channels;
            for (int c = 0; c < channels; ++c) {
                float x = frame[c];
                input.repaired_samples += korva_float_input_repair(x);
            }
            stereo[2 * i] = korva_sample_from_float(frame[0]);
            stereo[2 * i + 1] = korva_sample_from_float(frame[channels - 1]);
        }
    } else if (channels == 2) {
        got = sf_readf_short(input.file.get(), stereo.data(), wanted);
    } else {
        input.scratch.resize(static_cast<std::size_t>(wanted));
        got = sf_readf_short(input.file.get(), input.scratch.data(), wanted);
        for (sf_count_t i = 0; i < got; ++i) {
            stereo[2 * i] = input.scratch[i];
            stereo[2 * i + 1] = input.scratch[i];
        }
    }
    // The frames before a read error are kept; the input ends there.
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR) {
        // libsndfile's decoder messages start "Error : ".
        const std::string text = sndfile_reason(input.file.get(), "the audio data is damaged");
        input.read_error = text.starts_with("Error : ") ? text.substr(8) : text;
        got = std::max<sf_count_t>(got, 0);
    }
    frames_read = got;
    return success();
}

Status read_stereo_float(AudioInput &input, std::span<float> stereo, int64_t &frames_read)
{
    frames_read = 0;
    const int channels = input.info.channels;
    const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(stereo.size() / 2, block_limit));
    input.float_scratch.resize(static_cast<std::size_t>(wanted * channels));
    sf_count_t got = sf_readf_float(input.file.get(), input.float_scratch.data(), wanted);
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR) {
        const std::string text = sndfile_reason(input.file.get(), "the audio data is damaged");
        input.read_error = text.starts_with("Error : ") ? text.substr(8) : text;
        got = std::max<sf_count_t>(got, 0);
    }
    if (input.float_samples)
        for (float &x : std::span(input.float_scratch.data(), static_cast<std::size_t>(got * channels)))
            input.repaired_samples += korva_float_input_repair(x);
    for (sf_count_t i = 0; i < got; ++i) {
        const float *frame = input.float_scratch.data() + i * channels;
        stereo[2 * i] = frame[0];
        stereo[2 * i + 1] = frame[channels - 1];
    }
    frames_read = got;
    return success();
}

std::string input_shortfall(const AudioInput &input, int64_t frames)
{
    std::string text;
    if (input.declared_frames >= 0 && frames < input.declared_frames)
        text = "the input ends early: " + std::to_string(frames) + " of " + std::to_string(input.declared_frames) +
               " frames read";
    else if (input.length_unknown || !input.read_error.empty())
        text = "the input ends early: " + std::to_string(frames) + " frames read" +
               (input.length_unknown ? ", and its end is missing" : "");
    if (!text.empty() && !input.read_error.empty())
        text += " (" + input.read_error + ")";
    return text;
}

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
        output.file.reset(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
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

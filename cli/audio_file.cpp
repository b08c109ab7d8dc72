#include "audio_file.h"

#include "sndfile_reason.h"

#include <algorithm>
#include <cerrno>
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
    if (input.info.samplerate <= 0)
        return failure(path + ": invalid sample rate " + std::to_string(input.info.samplerate));
    sf_command(input.file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return success();
}

Status read_stereo(AudioInput &input, std::span<int16_t> stereo, int64_t &frames_read)
{
    frames_read = 0;
    const int channels = input.info.channels;
    const auto wanted = static_cast<sf_count_t>(std::min<std::size_t>(stereo.size() / 2, block_limit));
    sf_count_t got = 0;
    if (channels == 2) {
        got = sf_readf_short(input.file.get(), stereo.data(), wanted);
    } else {
        input.scratch.resize(static_cast<std::size_t>(wanted));
        got = sf_readf_short(input.file.get(), input.scratch.data(), wanted);
        for (sf_count_t i = 0; i < got; ++i) {
            stereo[2 * i] = input.scratch[i];
            stereo[2 * i + 1] = input.scratch[i];
        }
    }
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR)
        return failure(input.path + ": read error: " +
                       sndfile_reason(input.file.get(), "the audio data is damaged or cut short"));
    frames_read = got;
    return success();
}

Status open_output(int fd, const std::string &display_path, int format,
                   int sample_rate, AudioOutput &output, double quality)
{
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = 2;
    info.format = format;
    output.path = display_path;
    output.format = format;
    if (!sf_format_check(&info))
        return failure(display_path + ": this format cannot hold 16-bit stereo at " +
                       std::to_string(sample_rate) + " Hz");
    output.file.reset(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
    if (!output.file)
        return failure(display_path + ": cannot write: " + sndfile_reason(nullptr, "the encoder could not start"));
    if (is_lossy(format)) {
        double level = compression_level(format, quality);
        if (sf_command(output.file.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE)
            return failure(display_path + ": the encoder refused quality " + std::to_string(quality));
    }
    return success();
}

Status write_stereo(AudioOutput &output, std::span<const int16_t> stereo)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    sf_count_t written = 0;
    if ((output.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
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
    if (written != frames)
        return failure(output.path + ": write error: " + sndfile_reason(output.file.get(), kWriteFailed));
    return success();
}

Status write_stereo_float(AudioOutput &output, std::span<float> stereo)
{
    const auto frames = static_cast<sf_count_t>(stereo.size() / 2);
    if (frames == 0)
        return success();
    for (float &sample : stereo)
        sample = std::clamp(sample, -1.0f, 1.0f);
    if (sf_writef_float(output.file.get(), stereo.data(), frames) != frames)
        return failure(output.path + ": write error: " + sndfile_reason(output.file.get(), kWriteFailed));
    return success();
}

Status close_output(AudioOutput &output)
{
    SNDFILE *file = output.file.release();
    if (file == nullptr)
        return success();
    const int error = sf_close(file);
    if (error != SF_ERR_NO_ERROR)
        return failure(output.path + ": error finishing the file: " + sndfile_reason(error, kWriteFailed));
    return success();
}

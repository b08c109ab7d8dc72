#include "audio_input.h"

#include "sndfile_reason.h"
#include "engine/samples.h"
#include "fileio/file_replace.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int block_limit = 1 << 20;   // frames per libsndfile call, well inside int

// A pipe's bytes read to recognise MPEG audio after an ID3v2 tag: a tag
// larger than this (pictures) is taken as MPEG audio's.
constexpr std::size_t peek_limit = 64u << 20;

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

// Reads until `bytes` holds `size` bytes or the stream ends.
void read_up_to(int fd, std::vector<unsigned char> &bytes, std::size_t size)
{
    std::size_t have = bytes.size();
    if (have >= size)
        return;
    bytes.resize(size);
    while (have < size) {
        const ssize_t got = read(fd, bytes.data() + have, size - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
}

// Whether MPEG audio starts the regular file on `fd` (read with pread, so
// its position stays).
bool file_is_mpeg_audio(int fd)
{
    const off_t start = lseek(fd, 0, SEEK_CUR);
    unsigned char head[10] = {};
    if (start < 0 || pread(fd, head, sizeof head, start) < 4)
        return false;
    const std::size_t tag = id3v2_size(head);
    unsigned char frame[4] = {};
    return pread(fd, frame, sizeof frame, start + static_cast<off_t>(tag)) == 4 && is_mpeg_frame_header(frame);
}

// The first bytes of a pipe, read to tell MPEG audio: its ID3v2 tag whole
// and the four bytes after it.
std::vector<unsigned char> peek_stream(int fd, bool &mpeg)
{
    std::vector<unsigned char> bytes;
    read_up_to(fd, bytes, 10);
    const std::size_t tag = id3v2_size(bytes);
    if (tag > peek_limit) {
        mpeg = true;
        return bytes;
    }
    read_up_to(fd, bytes, tag + 4);
    mpeg = bytes.size() >= tag + 4 && is_mpeg_frame_header(std::span(bytes).subspan(tag, 4));
    return bytes;
}

// A pipe of korva's own for libsndfile to read a stream from: the bytes
// already taken from it, then the rest, copied by a thread that ends at the
// stream's end or when the reader closes its end. The read end, or -1.
int relay_stream(int from, std::vector<unsigned char> start)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    std::thread([from, to = ends[1], start = std::move(start)] {
        // Signals go to the program's own threads; a closed reader ends the
        // copy with EPIPE instead of SIGPIPE.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        bool open = korva::fileio::write_all(to, start.data(), start.size());
        std::vector<unsigned char> block(1 << 16);
        while (open) {
            const ssize_t got = read(from, block.data(), block.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            open = korva::fileio::write_all(to, block.data(), static_cast<std::size_t>(got));
        }
        close(to);
    }).detach();
    return ends[0];
}

int mpeg_subtype(int layer)
{
    return layer == 1 ? SF_FORMAT_MPEG_LAYER_I : layer == 2 ? SF_FORMAT_MPEG_LAYER_II : SF_FORMAT_MPEG_LAYER_III;
}

bool open_mpeg(int fd, bool seekable, std::vector<unsigned char> start, AudioInput &input, std::string &error)
{
    Mp3Format format;
    std::string reason;
    input.mp3 = open_mp3(fd, seekable, std::move(start), format, reason);
    if (!input.mp3) {
        error = (input.path == "-" ? std::string("standard input") : input.path) +
                ": cannot read: not audio in a format korva reads, or damaged (MPEG audio: " + reason + ")";
        return false;
    }
    input.info.samplerate = format.rate;
    input.info.channels = format.channels;
    input.info.format = SF_FORMAT_MPEG | mpeg_subtype(format.layer);
    input.info.frames = format.stated_frames >= 0 ? format.stated_frames : SF_COUNT_MAX;
    input.declared_frames = format.stated_frames;
    input.float_samples = true;
    return true;
}

void note_read_error(AudioInput &input)
{
    // libsndfile's decoder messages start "Error : ".
    const std::string text = sndfile_reason(input.file.get(), "the audio data is damaged");
    input.read_error = text.starts_with("Error : ") ? text.substr(8) : text;
}

// Up to `frames` frames of floats into input.float_scratch.
int64_t read_floats(AudioInput &input, int64_t frames)
{
    input.float_scratch.resize(static_cast<std::size_t>(frames * input.info.channels));
    if (input.mp3) {
        std::string error;
        const int64_t got = read_mp3(*input.mp3, input.float_scratch, error);
        if (!error.empty() && input.read_error.empty())
            input.read_error = error;
        return got;
    }
    sf_count_t got = sf_readf_float(input.file.get(), input.float_scratch.data(), frames);
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR) {
        note_read_error(input);
        got = std::max<sf_count_t>(got, 0);
    }
    return got;
}

} // namespace

AudioInput::~AudioInput()
{
    mp3.reset();
    if (mp3_fd >= 0)
        close(mp3_fd);
}

bool open_audio(const std::string &path, AudioInput &input, std::string &error)
{
    input.path = path;
    input.info = SF_INFO{};
    const bool from_stdin = path == "-";
    int fd = from_stdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    const bool known = fd >= 0 && fstat(fd, &status) == 0;
    if (known && !from_stdin && S_ISFIFO(status.st_mode)) {
        // A named FIFO waits for its writer, as reading one does everywhere.
        close(fd);
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = path + ": cannot read: " + std::strerror(errno);
            return false;
        }
    }
    if (known && S_ISREG(status.st_mode) && file_is_mpeg_audio(fd)) {
        if (!from_stdin)
            input.mp3_fd = fd;
        return open_mpeg(fd, true, {}, input, error);
    }
    if (known && S_ISFIFO(status.st_mode)) {
        bool mpeg = false;
        std::vector<unsigned char> start = peek_stream(fd, mpeg);
        if (mpeg) {
            if (!from_stdin)
                input.mp3_fd = fd;
            return open_mpeg(fd, false, std::move(start), input, error);
        }
        const int relay = relay_stream(fd, std::move(start));
        if (relay >= 0)
            input.file.reset(sf_open_fd(relay, SFM_READ, &input.info, SF_TRUE));
        // The relay's thread reads the FIFO on; its descriptor stays open.
    } else {
        if (fd >= 0 && !from_stdin)
            close(fd);
        input.file.reset(sf_open(path.c_str(), SFM_READ, &input.info));
    }
    if (!input.file) {
        error = (from_stdin ? std::string("standard input") : path) + ": cannot read: " + unreadable_reason(path);
        return false;
    }
    // Decoders that work in floats (Vorbis, Opus) clip beyond full scale
    // instead of wrapping.
    sf_command(input.file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    input.float_samples = is_float_subtype(input.info.format);
    find_declared_length(path, input);
    return true;
}

int64_t read_frames(AudioInput &input, std::span<int16_t> out)
{
    const int channels = input.info.channels;
    const auto wanted = static_cast<int64_t>(std::min<std::size_t>(out.size() / channels, block_limit));
    if (input.float_samples) {
        // Rounding to 16 bits already treats a damaged sample as the float
        // rule replaces it; it is only counted here.
        const int64_t got = read_floats(input, wanted);
        for (int64_t i = 0; i < got * channels; ++i) {
            float x = input.float_scratch[i];
            input.repaired_samples += korva_float_input_repair(x);
            out[i] = korva_sample_from_float(input.float_scratch[i]);
        }
        return got;
    }
    sf_count_t got = sf_readf_short(input.file.get(), out.data(), wanted);
    if (got < 0 || sf_error(input.file.get()) != SF_ERR_NO_ERROR) {
        note_read_error(input);
        got = std::max<sf_count_t>(got, 0);
    }
    return got;
}

int64_t read_frames_float(AudioInput &input, std::span<float> out)
{
    const int channels = input.info.channels;
    const auto wanted = static_cast<int64_t>(std::min<std::size_t>(out.size() / channels, block_limit));
    const int64_t got = read_floats(input, wanted);
    for (int64_t i = 0; i < got * channels; ++i) {
        float x = input.float_scratch[i];
        if (input.float_samples)
            input.repaired_samples += korva_float_input_repair(x);
        out[i] = x;
    }
    return got;
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

TagValues read_tags(AudioInput &input)
{
    TagValues values;
    if (input.mp3) {
        values = mp3_tags(*input.mp3);
    } else {
        for (std::size_t i = 0; i < kTextTags.size(); ++i)
            if (const char *text = sf_get_string(input.file.get(), kTextTags[i].id))
                values[i] = text;
    }
    for (std::string &value : values)
        value = utf8_text(value);
    return values;
}

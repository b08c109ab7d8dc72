#include "mp3_input.h"

#include <taglib/id3v1genres.h>

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

struct Mp3Input {
    mpg123_handle *handle = nullptr;
    int fd = -1;
    bool seekable = false;
    std::vector<unsigned char> prefix;   // served before the descriptor's bytes
    std::size_t prefix_at = 0;
    int channels = 0;
    bool ended = false;
};

namespace {

void start_library()
{
    // Fills static tables once; later calls do nothing.
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

ssize_t read_stream(void *user, void *buffer, size_t bytes)
{
    auto &input = *static_cast<Mp3Input *>(user);
    if (input.prefix_at < input.prefix.size()) {
        const std::size_t n = std::min(bytes, input.prefix.size() - input.prefix_at);
        std::memcpy(buffer, input.prefix.data() + input.prefix_at, n);
        input.prefix_at += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t got;
    do
        got = read(input.fd, buffer, bytes);
    while (got < 0 && errno == EINTR);
    return got;
}

off_t seek_stream(void *user, off_t offset, int whence)
{
    auto &input = *static_cast<Mp3Input *>(user);
    return input.seekable ? lseek(input.fd, offset, whence) : off_t{-1};
}

// A look at the stream's first frames without seeking, from `from` on: how
// mpg123 sees a stream it cannot seek in, where it states a length only from
// a Xing or Info header and never estimates one from the file's size.
struct Probe {
    int fd;
    off_t at;
};

ssize_t read_probe(void *user, void *buffer, size_t bytes)
{
    auto &probe = *static_cast<Probe *>(user);
    const ssize_t got = pread(probe.fd, buffer, bytes, probe.at);
    if (got > 0)
        probe.at += got;
    return got;
}

off_t seek_none(void *, off_t, int)
{
    return -1;
}

mpg123_handle *new_decoder()
{
    int error = MPG123_OK;
    mpg123_handle *handle = mpg123_new(nullptr, &error);
    if (handle == nullptr)
        return nullptr;
    // Gapless: a LAME or Info tag's encoder delay and padding are removed.
    // No resampling, no stitching of differing streams, no messages.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS | MPG123_QUIET, 0.0);
#ifdef MPG123_NO_FRANKENSTEIN
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_NO_FRANKENSTEIN, 0.0);
#endif
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    return handle;
}

// The length a header states for the file on `fd` from `from` on, or -1.
int64_t stated_length(int fd, off_t from)
{
    mpg123_handle *handle = new_decoder();
    if (handle == nullptr)
        return -1;
    Probe probe{fd, from};
    long rate = 0;
    int channels = 0, encoding = 0;
    int64_t frames = -1;
    if (mpg123_replace_reader_handle(handle, read_probe, seek_none, nullptr) == MPG123_OK &&
        mpg123_open_handle(handle, &probe) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK)
        frames = std::max<int64_t>(mpg123_length(handle), -1);
    mpg123_delete(handle);
    return frames;
}

std::string fixed_text(const char *text, std::size_t size)
{
    return std::string(text, strnlen(text, size));
}

std::string genre_name(const std::string &genre)
{
    // "(17)" and "17" name an ID3v1 genre by number.
    std::string number = genre;
    if (number.size() > 2 && number.front() == '(' && number.back() == ')')
        number = number.substr(1, number.size() - 2);
    if (number.empty() || number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos)
        return genre;
    const TagLib::String name = TagLib::ID3v1::genre(std::stoi(number));
    return name.isEmpty() ? genre : name.to8Bit(true);
}

std::size_t tag_index(int id)
{
    for (std::size_t i = 0; i < kTextTags.size(); ++i)
        if (kTextTags[i].id == id)
            return i;
    return kTextTags.size();
}

} // namespace

void Mp3InputDeleter::operator()(Mp3Input *input) const
{
    if (input->handle != nullptr)
        mpg123_delete(input->handle);
    delete input;
}

std::size_t id3v2_size(std::span<const unsigned char> head)
{
    if (head.size() < 10 || std::memcmp(head.data(), "ID3", 3) != 0)
        return 0;
    std::size_t body = 0;
    for (int i = 6; i < 10; ++i) {
        if (head[i] & 0x80)
            return 0;   // a size is four 7-bit bytes: not a tag
        body = body << 7 | head[i];
    }
    const bool footer = (head[5] & 0x10) != 0;
    return 10 + body + (footer ? 10 : 0);
}

bool is_mpeg_frame_header(std::span<const unsigned char> bytes)
{
    if (bytes.size() < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return false;
    const int version = (bytes[1] >> 3) & 3, layer = (bytes[1] >> 1) & 3;
    const int bitrate = bytes[2] >> 4, rate = (bytes[2] >> 2) & 3;
    // Version 1 is reserved; layer 0 is ADTS.
    return version != 1 && layer != 0 && bitrate != 15 && rate != 3;
}

Mp3InputHandle open_mp3(int fd, bool seekable, std::vector<unsigned char> prefix, Mp3Format &format,
                        std::string &error)
{
    start_library();
    Mp3InputHandle input(new Mp3Input);
    input->fd = fd;
    input->seekable = seekable;
    input->prefix = std::move(prefix);
    input->handle = new_decoder();
    if (input->handle == nullptr) {
        error = "out of memory for the MP3 decoder";
        return nullptr;
    }
    const off_t start = seekable ? lseek(fd, 0, SEEK_CUR) : 0;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_replace_reader_handle(input->handle, read_stream, seek_stream, nullptr) != MPG123_OK ||
        mpg123_open_handle(input->handle, input.get()) != MPG123_OK ||
        mpg123_getformat(input->handle, &rate, &channels, &encoding) != MPG123_OK) {
        error = mpg123_strerror(input->handle);
        return nullptr;
    }
    // Float samples from here on, at the stream's own rate and channels.
    mpg123_format_none(input->handle);
    if (mpg123_format(input->handle, rate, channels, MPG123_ENC_FLOAT_32) != MPG123_OK) {
        error = mpg123_strerror(input->handle);
        return nullptr;
    }
    mpg123_frameinfo2 info{};
    mpg123_info2(input->handle, &info);
    format.rate = static_cast<int>(rate);
    format.channels = channels;
    format.layer = info.layer;
    format.stated_frames = seekable ? stated_length(fd, start) : std::max<int64_t>(mpg123_length(input->handle), -1);
    input->channels = channels;
    return input;
}

int64_t read_mp3(Mp3Input &input, std::span<float> out, std::string &error)
{
    if (input.ended)
        return 0;
    auto *bytes = reinterpret_cast<unsigned char *>(out.data());
    const std::size_t capacity = out.size() / static_cast<std::size_t>(input.channels) *
                                 static_cast<std::size_t>(input.channels) * sizeof(float);
    std::size_t filled = 0;
    while (filled < capacity) {
        std::size_t done = 0;
        const int result = mpg123_read(input.handle, bytes + filled, capacity - filled, &done);
        filled += done;
        if (result == MPG123_OK)
            continue;
        input.ended = true;
        if (result == MPG123_NEW_FORMAT)
            error = "the stream changes its rate or channels part way";
        else if (result != MPG123_DONE)
            error = mpg123_plain_strerror(mpg123_errcode(input.handle));
        break;
    }
    return static_cast<int64_t>(filled / sizeof(float)) / input.channels;
}

TagValues mp3_tags(Mp3Input &input)
{
    TagValues values;
    mpg123_id3v1 *v1 = nullptr;
    mpg123_id3v2 *v2 = nullptr;
    if (mpg123_id3(input.handle, &v1, &v2) != MPG123_OK)
        return values;
    const auto set = [&values](int id, const std::string &text) {
        if (!text.empty() && tag_index(id) < values.size())
            values[tag_index(id)] = text;
    };
    if (v1 != nullptr) {
        set(SF_STR_TITLE, fixed_text(v1->title, sizeof v1->title));
        set(SF_STR_ARTIST, fixed_text(v1->artist, sizeof v1->artist));
        set(SF_STR_ALBUM, fixed_text(v1->album, sizeof v1->album));
        set(SF_STR_DATE, fixed_text(v1->year, sizeof v1->year));
        set(SF_STR_COMMENT, fixed_text(v1->comment, sizeof v1->comment));
        // ID3v1.1 keeps a track number in the comment's last byte.
        if (v1->comment[28] == '\0' && v1->comment[29] != '\0')
            set(SF_STR_TRACKNUMBER, std::to_string(static_cast<unsigned char>(v1->comment[29])));
        const TagLib::String genre = TagLib::ID3v1::genre(v1->genre);
        set(SF_STR_GENRE, genre.to8Bit(true));
    }
    if (v2 != nullptr) {
        for (std::size_t i = 0; i < v2->texts; ++i) {
            const mpg123_text &frame = v2->text[i];
            if (frame.text.p == nullptr || frame.text.fill == 0)
                continue;
            const std::string id(frame.id, 4), text(frame.text.p);
            if (id == "TIT2")
                set(SF_STR_TITLE, text);
            else if (id == "TPE1")
                set(SF_STR_ARTIST, text);
            else if (id == "TALB")
                set(SF_STR_ALBUM, text);
            else if (id == "TRCK")
                set(SF_STR_TRACKNUMBER, text);
            else if (id == "TYER" || id == "TDRC")
                set(SF_STR_DATE, text);
            else if (id == "TCON")
                set(SF_STR_GENRE, genre_name(text));
        }
        if (v2->comment != nullptr && v2->comment->p != nullptr)
            set(SF_STR_COMMENT, v2->comment->p);
    }
    return values;
}

#include "stream_writer.h"

#include "fileio/file_replace.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

void put16(unsigned char *at, uint32_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char *at, uint32_t value)
{
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

int sample_bits(int subtype)
{
    switch (subtype) {
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 0;
    }
}

// The canonical 44-byte header: "RIFF" size "WAVE", a 16-byte "fmt " chunk
// (format 1: integer PCM, 3: IEEE float), "data" size.
bool write_wav_header(int fd, const SF_INFO &info, std::string &error)
{
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const int bits = sample_bits(subtype);
    if (bits == 0 || info.channels < 1 || info.samplerate < 1) {
        error = "this WAV sample format cannot be written into a pipe";
        return false;
    }
    const bool floating = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    const uint32_t block = static_cast<uint32_t>(info.channels) * static_cast<uint32_t>(bits / 8);
    std::array<unsigned char, 44> header{};
    std::memcpy(&header[0], "RIFF", 4);
    put32(&header[4], 0xFFFFFFFFu);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    put32(&header[16], 16);
    put16(&header[20], floating ? 3 : 1);
    put16(&header[22], static_cast<uint32_t>(info.channels));
    put32(&header[24], static_cast<uint32_t>(info.samplerate));
    put32(&header[28], static_cast<uint32_t>(info.samplerate) * block);
    put16(&header[32], block);
    put16(&header[34], static_cast<uint32_t>(bits));
    std::memcpy(&header[36], "data", 4);
    put32(&header[40], 0xFFFFFFFFu);
    if (!korva::fileio::write_all(fd, header.data(), header.size())) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool can_stream(int format)
{
    switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_AIFF: case SF_FORMAT_CAF: case SF_FORMAT_W64: case SF_FORMAT_RF64:
        return false;
    default:
        return true;
    }
}

SNDFILE *open_stream_writer(int fd, SF_INFO &info, std::string &error)
{
    if (!can_stream(info.format)) {
        error = "this format keeps its length in a header written last, so it cannot go into a pipe or FIFO; "
                "WAV, AU, FLAC, Ogg, Opus and MP3 can";
        return nullptr;
    }
    SF_INFO opened = info;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) {
        if (!write_wav_header(fd, info, error))
            return nullptr;
        opened.format = SF_FORMAT_RAW | SF_ENDIAN_LITTLE | (info.format & SF_FORMAT_SUBMASK);
    }
    SNDFILE *file = sf_open_fd(fd, SFM_WRITE, &opened, SF_FALSE);
    if (file == nullptr)
        error = sf_strerror(nullptr);
    return file;
}

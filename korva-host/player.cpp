#include "player.h"

#include <vector>

namespace {

struct BlockBuffers {
    std::vector<int16_t> decoded;     // frames from the source
    std::vector<unsigned char> block; // the same in the player's format
    std::vector<int16_t> processed;   // what came back, as 16-bit samples
};

// Hands one block to the plug-in and writes what it returns. The plug-in may
// replace the buffer and change the length (Korva never does); only whole
// frames of what it returns reach the sink.
bool play_block(Player &player, BlockBuffers &buffers, int64_t frames, std::string &error)
{
    const SampleFormat &fmt = *player.format;
    const int channels = player.source->channels;
    const auto samples = static_cast<size_t>(frames) * static_cast<size_t>(channels);
    sample_format_encode(fmt, buffers.decoded.data(), samples, buffers.block.data());

    void *data = buffers.block.data();
    const int length = static_cast<int>(samples) * fmt.bytes;
    int returned = player.plugin->mod_samples(&data, length, fmt.code, player.source->rate, channels);
    if (data == nullptr || returned < 0)
        returned = 0;

    const int64_t frames_back = returned / player_frame_bytes(fmt, channels);
    const auto samples_back = static_cast<size_t>(frames_back) * static_cast<size_t>(channels);
    buffers.processed.resize(samples_back);
    sample_format_decode(fmt, static_cast<const unsigned char *>(data), samples_back, buffers.processed.data());
    return audio_sink_write(*player.sink, buffers.processed.data(), frames_back, error);
}

void audio_thread(Player &player)
{
    const int channels = player.source->channels;
    const int64_t block_frames = player.block_bytes / player_frame_bytes(*player.format, channels);
    BlockBuffers buffers;
    buffers.decoded.resize(static_cast<size_t>(block_frames * channels));
    buffers.block.resize(static_cast<size_t>(player.block_bytes));

    std::string error;
    while (!player.stop_requested.load(std::memory_order_acquire)) {
        const int64_t frames = audio_source_read(*player.source, buffers.decoded.data(), block_frames, error);
        player.file_index.store(player.source->current, std::memory_order_relaxed);
        if (frames > 0 && !play_block(player, buffers, frames, error))
            break;
        player.frames_done.fetch_add(frames, std::memory_order_relaxed);
        if (!error.empty())
            break;
        if (frames < block_frames) {
            audio_sink_drain(*player.sink);
            player.finished.store(true, std::memory_order_release);
            break;
        }
    }
    player.error = error;
    player.running.store(false, std::memory_order_release);
}

} // namespace

int player_frame_bytes(const SampleFormat &format, int channels)
{
    return format.bytes * channels;
}

bool player_start(Player &player, std::string &error)
{
    if (player.thread.joinable()) {
        if (player.running.load(std::memory_order_acquire))
            return false;
        player.thread.join();
    }
    if (player.finished.load(std::memory_order_acquire)) {
        if (player.sink->kind == SinkKind::file)
            return false;
        if (!audio_source_rewind(*player.source, error))
            return false;
        player.finished.store(false, std::memory_order_relaxed);
        player.frames_done.store(0, std::memory_order_relaxed);
    }
    player.error.clear();
    player.stop_requested.store(false, std::memory_order_relaxed);
    player.running.store(true, std::memory_order_relaxed);
    player.thread = std::thread(audio_thread, std::ref(player));
    return true;
}

void player_stop(Player &player)
{
    player.stop_requested.store(true, std::memory_order_release);
    if (player.thread.joinable())
        player.thread.join();
    audio_sink_discard(*player.sink);
}

void player_reap(Player &player)
{
    if (player.thread.joinable() && !player.running.load(std::memory_order_acquire))
        player.thread.join();
}

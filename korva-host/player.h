/*
 * The audio thread: reads blocks from the source, converts them to the
 * player's sample format, hands each to the plug-in's mod_samples and writes
 * what comes back to the sink. The interface thread starts and stops it and
 * reads its progress through atomics only.
 */
#ifndef KORVA_KORVA_HOST_PLAYER_H
#define KORVA_KORVA_HOST_PLAYER_H

#include "audio_sink.h"
#include "audio_source.h"
#include "sample_format.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct Player {
    // Set before the first start, then owned by the audio thread while it runs.
    EffectPlugin *plugin = nullptr;
    AudioSource *source = nullptr;
    AudioSink *sink = nullptr;
    const SampleFormat *format = nullptr;
    int block_bytes = 0;             // whole frames of the player's format

    std::thread thread;
    std::atomic<bool> stop_requested{false};
    std::atomic<bool> running{false};     // the audio thread has not yet finished
    std::atomic<bool> finished{false};    // the last file has been played to its end
    std::atomic<int64_t> frames_done{0};  // frames handed to the sink since the start
    std::atomic<size_t> file_index{0};    // the file being read
    std::string error;                    // written by the audio thread, read after join
};

// The frame size in bytes of the player's format and channel count.
int player_frame_bytes(const SampleFormat &format, int channels);

// Starts the audio thread, from the start of the input again when the last
// run reached its end (a file sink cannot be rewound: then nothing starts).
// Returns false when nothing was started; error tells why when it matters.
bool player_start(Player &player, std::string &error);

// Asks the audio thread to stop after its current block and waits for it.
// A live sink drops what it still has queued.
void player_stop(Player &player);

// Waits for an audio thread that has already finished on its own.
void player_reap(Player &player);

#endif

// Loudness of a stream of 16-bit stereo frames after EBU R 128 (ITU-R
// BS.1770), measured with libebur128 in its histogram mode: memory stays the
// same whatever the length. True peak (4x oversampled) only when asked, since
// it costs more than the rest of the measurement.
#ifndef KORVA_CLI_LOUDNESS_H
#define KORVA_CLI_LOUDNESS_H

#include "cli/common/status.h"
#include "cli/pipeline/block_pipeline.h"

#include <ebur128.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct LoudnessMeterDeleter {
    void operator()(ebur128_state *state) const;
};

struct LoudnessMeter {
    std::unique_ptr<ebur128_state, LoudnessMeterDeleter> state;
    bool true_peak = false;
};

// What one meter read. Silence (everything gated out) has -inf loudness.
struct Loudness {
    bool measured = false;
    double integrated_lufs = 0.0;
    double range_lu = 0.0;
    bool has_true_peak = false;
    double true_peak_dbtp = 0.0;   // the larger of the two channels, dB over full scale 32768
};

Status start_loudness(int sample_rate, bool true_peak, LoudnessMeter &meter);

// Takes interleaved stereo frames in; a meter that was never started ignores
// them, and one that fails stops measuring (it reads as not measured).
Status add_loudness(LoudnessMeter &meter, std::span<const int16_t> stereo);
// The same for float frames at full scale 1.0.
Status add_loudness(LoudnessMeter &meter, std::span<const float> stereo);

// A stage that takes every block in; the first failure goes to `problem`
// when given (the run goes on either way: the meter then reads as not
// measured).
Stage loudness_stage(LoudnessMeter &meter, Status *problem = nullptr);

// The figures so far.
Loudness read_loudness(const LoudnessMeter &meter);

// "-23.0 LUFS", "-inf LUFS".
std::string lufs_text(double lufs);

#endif

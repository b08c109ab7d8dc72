// Rate conversion of the processed audio for output formats that cannot
// carry the input's rate: libsoxr's very-high-quality recipe, streaming,
// 16-bit stereo in, float stereo out (full scale 1.0), so the encoder gets
// the converted samples without a second rounding to 16 bits.
#ifndef KORVA_CLI_RESAMPLER_H
#define KORVA_CLI_RESAMPLER_H

#include "status.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct soxr;

struct SoxrDeleter {
    void operator()(soxr *handle) const;
};

struct Resampler {
    std::unique_ptr<soxr, SoxrDeleter> handle;
    double ratio = 1.0;   // output rate / input rate
};

Status start_resampler(int input_rate, int output_rate, Resampler &resampler);

// Converts interleaved stereo frames; `out` receives whatever output the
// converter has ready (it holds back a filter's length until the end).
Status resample(Resampler &resampler, std::span<const int16_t> stereo, std::vector<float> &out);

// The rest of the output after the last input.
Status finish_resampler(Resampler &resampler, std::vector<float> &out);

#endif

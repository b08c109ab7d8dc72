// Rate conversion: libsoxr's very-high-quality recipe, streaming, stereo.
// The 16-bit path converts its output for formats that cannot carry the
// input's rate, 16-bit in and float out (full scale 1.0), so the encoder
// gets the converted samples without a second rounding to 16 bits; the float
// path converts floats both ways, around the chain (chain_rate.h). libsoxr aligns its output
// with its input itself (the filter's delay is compensated) and gives the
// last samples at finish_resampler. It picks a SIMD or a plain engine by
// the processor, and the two differ in the last bits of a float.
#ifndef KORVA_RESAMPLE_RESAMPLER_H
#define KORVA_RESAMPLE_RESAMPLER_H

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct soxr;

struct SoxrDeleter {
    void operator()(soxr *handle) const;
};

struct Resampler {
    std::unique_ptr<soxr, SoxrDeleter> handle;
    double ratio = 1.0;   // output rate / input rate
    bool float_input = false;
};

// passband_end: the share of the lower Nyquist frequency kept flat (libsoxr's
// own 0.913 when 0). Each call is false with `error` set when libsoxr fails.
bool start_resampler(double input_rate, double output_rate, Resampler &resampler, std::string &error,
                     bool float_input = false, double passband_end = 0.0);

// Converts interleaved stereo frames; `out` receives whatever output the
// converter has ready (it holds back a filter's length until the end).
bool resample(Resampler &resampler, std::span<const int16_t> stereo, std::vector<float> &out, std::string &error);
bool resample(Resampler &resampler, std::span<const float> stereo, std::vector<float> &out, std::string &error);

// The rest of the output after the last input.
bool finish_resampler(Resampler &resampler, std::vector<float> &out, std::string &error);

#endif

// The rate the engine's chain runs at for an input. Its filters are laid
// out for rates up to 48 kHz, so an input above it runs the chain at its
// rate halved until it is 48 kHz or below (96 -> 48, 88.2 -> 44.1,
// 192 -> 48, 352.8 -> 44.1 kHz), or at 48 kHz where halving would fall
// below 44.1 kHz and take the treble with it (50, 64, 80 or 128 kHz ->
// 48 kHz). The audio goes down to that rate and back up through
// resampler.h, whose passband is widened for it (kChainPassbandEnd).
#ifndef KORVA_RESAMPLE_CHAIN_RATE_H
#define KORVA_RESAMPLE_CHAIN_RATE_H

inline constexpr int kHighestChainRate = 48000;
inline constexpr int kLowestHalvedChainRate = 44100;

// The resamplers around the chain keep 99% of the chain's band flat (to
// 23.76 kHz at 48 kHz) instead of libsoxr's 91.3%, so the chain's whole band
// reaches the output as it would at the chain's own rate; the steeper filter
// costs about the same at these ratios.
inline constexpr double kChainPassbandEnd = 0.99;

// The chain's rate for an input: its own up to kHighestChainRate; above, the
// rate halved until it is kHighestChainRate or below, when that keeps it at
// kLowestHalvedChainRate or above, and kHighestChainRate otherwise.
double chain_rate_for(int input_rate);

#endif

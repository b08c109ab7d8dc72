#include "loudness_window.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double filter(const KorvaBiquad &f, double x, double *state)
{
    // Direct form I: state holds x1, x2, y1, y2.
    const double y = f.b0 * x + f.b1 * state[0] + f.b2 * state[1] - f.a1 * state[2] - f.a2 * state[3];
    state[1] = state[0];
    state[0] = x;
    state[3] = state[2];
    state[2] = y;
    return y;
}

double lufs_of(double mean_square)
{
    return -0.691 + 10.0 * std::log10(mean_square);
}

} // namespace

extern "C" {

void korva_loudness_init(KorvaLoudnessWindow *w, double sample_rate)
{
    *w = KorvaLoudnessWindow{};
    const double rate = std::isfinite(sample_rate) && sample_rate >= 8000.0 ? sample_rate : 48000.0;
    // BS.1770's two stages, made for any rate from their analogue prototypes.
    {
        const double f0 = 1681.974450955533, gain_db = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(kPi * f0 / rate);
        const double vh = std::pow(10.0, gain_db / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        w->shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                    2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(kPi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        w->highpass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    w->hop_frames = static_cast<long>(std::lround(rate / 10.0));
}

void korva_loudness_clear(KorvaLoudnessWindow *w)
{
    w->block_count = w->next_block = 0;
    w->hop_count = 0;
}

int korva_loudness_add(KorvaLoudnessWindow *w, float left, float right)
{
    const float in[2] = {left, right};
    for (int c = 0; c < 2; ++c) {
        const double x = std::isfinite(in[c]) ? in[c] : 0.0;
        const double y = filter(w->highpass, filter(w->shelf, x, w->state[c]), w->state[c] + 4);
        w->hop_sum += y * y;
    }
    if (++w->in_hop < w->hop_frames)
        return 0;
    w->hops[w->next_hop] = w->hop_sum / static_cast<double>(w->hop_frames);
    w->next_hop = (w->next_hop + 1) % 4;
    w->in_hop = 0;
    w->hop_sum = 0.0;
    if (w->hop_count < 4)
        ++w->hop_count;
    if (w->hop_count < 4)
        return 0;
    w->blocks[w->next_block] = (w->hops[0] + w->hops[1] + w->hops[2] + w->hops[3]) / 4.0;
    w->next_block = (w->next_block + 1) % KORVA_LOUDNESS_BLOCKS;
    if (w->block_count < KORVA_LOUDNESS_BLOCKS)
        ++w->block_count;
    return 1;
}

int korva_loudness_read(const KorvaLoudnessWindow *w, int minimum, double *lufs)
{
    const double absolute = std::pow(10.0, (-70.0 + 0.691) / 10.0);
    double sum = 0.0;
    int n = 0;
    for (int i = 0; i < w->block_count; ++i)
        if (w->blocks[i] > absolute) {
            sum += w->blocks[i];
            ++n;
        }
    if (n == 0)
        return 0;
    const double relative = sum / n * std::pow(10.0, -10.0 / 10.0);
    double gated = 0.0;
    int m = 0;
    for (int i = 0; i < w->block_count; ++i)
        if (w->blocks[i] > absolute && w->blocks[i] > relative) {
            gated += w->blocks[i];
            ++m;
        }
    if (m < minimum)
        return 0;
    *lufs = lufs_of(gated / m);
    return 1;
}

} // extern "C"

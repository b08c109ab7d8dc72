#include "loud_master.h"

#include <ebur128.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 12 * kRate;
constexpr double kPi = std::numbers::pi;

// The mix before mastering, interleaved, about +-1.
std::vector<double> raw_mix()
{
    std::vector<double> mix(2 * static_cast<size_t>(kFrames));
    const double beat = 0.5 * kRate;                        // 120 beats a minute
    const double roots[4] = {55.0, 43.65, 65.41, 49.0};     // A1 F1 C2 G1, one a bar
    uint32_t noise = 12345;
    double kick_phase = 0, bass_phase = 0, lead_phase = 0, hat_last = 0;
    for (int i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double in_beat = std::fmod(i, beat) / kRate;  // seconds since the beat
        const int beat_number = static_cast<int>(i / beat);
        const double root = roots[(beat_number / 4) % 4];

        // Kick on every beat: a falling sine.
        kick_phase += 2 * kPi * (50.0 + 90.0 * std::exp(-in_beat * 30.0)) / kRate;
        const double kick = 0.8 * std::sin(kick_phase) * std::exp(-in_beat * 7.0);
        // Bass: five harmonics of the bar's root, plucked on every beat.
        bass_phase += 2 * kPi * root / kRate;
        double bass = 0;
        for (int h = 1; h <= 5; ++h)
            bass += std::sin(h * bass_phase) / h;
        bass *= 0.3 * (0.4 + 0.6 * std::exp(-in_beat * 4.0));
        // Noise for snare and hi-hat.
        noise = noise * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
        const double hat_source = white - hat_last;          // first difference: bright
        hat_last = white;
        const double in_half = std::fmod(in_beat, 0.25);
        const double hat = 0.3 * hat_source * std::exp(-in_half * 60.0);
        const double snare = beat_number % 2 == 1
            ? (0.35 * white + 0.3 * std::sin(2 * kPi * 190.0 * in_beat)) * std::exp(-in_beat * 18.0) : 0.0;
        // Chords: root triad two octaves up, each voice with two harmonics.
        double chord = 0;
        for (const double ratio : {4.0, 5.04, 5.99}) {
            const double f = root * ratio;
            chord += std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t);
        }
        chord *= 0.16;
        // Lead: a vibrato tone an octave above the chords.
        lead_phase += 2 * kPi * root * 8.0 * (1.0 + 0.004 * std::sin(2 * kPi * 5.0 * t)) / kRate;
        const double lead = 0.3 * (std::sin(lead_phase) + 0.25 * std::sin(3 * lead_phase));

        const double centre = kick + bass + snare + lead;
        mix[2 * i] = centre + 1.1 * chord + 0.6 * hat;
        mix[2 * i + 1] = centre + 0.9 * chord + 1.0 * hat;
    }
    return mix;
}

// Integrated loudness and true peak (dBTP, the larger channel) of interleaved
// stereo at full scale 1.0.
void measure(const std::vector<float> &samples, double &lufs, double &dbtp)
{
    ebur128_state *state = ebur128_init(2, kRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, samples.data(), samples.size() / 2);
    ebur128_loudness_global(state, &lufs);
    double left = 0, right = 0;
    ebur128_true_peak(state, 0, &left);
    ebur128_true_peak(state, 1, &right);
    dbtp = 20.0 * std::log10(std::max(left, right));
    ebur128_destroy(&state);
}

// The mix driven by `drive` into a soft clipper, then scaled to -0.3 dBTP.
std::vector<float> master(const std::vector<double> &mix, double drive)
{
    std::vector<float> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        out[i] = static_cast<float>(std::tanh(drive * mix[i]));
    double lufs = 0, dbtp = 0;
    measure(out, lufs, dbtp);
    const double scale = std::pow(10.0, (-0.3 - dbtp) / 20.0);
    for (float &s : out)
        s = static_cast<float>(s * scale);
    return out;
}

}  // namespace

LoudMaster make_loud_master()
{
    const std::vector<double> mix = raw_mix();
    // More drive: more saturation, so more loudness at the same true peak.
    double low = 0.5, high = 20.0;
    for (int step = 0; step < 14; ++step) {
        const double drive = std::sqrt(low * high);
        double lufs = 0, dbtp = 0;
        measure(master(mix, drive), lufs, dbtp);
        (lufs < -8.0 ? low : high) = drive;
    }
    const std::vector<float> mastered = master(mix, std::sqrt(low * high));

    LoudMaster loud;
    loud.audio.rate = kRate;
    loud.audio.channels = 2;
    std::vector<float> written(mastered.size());
    for (size_t i = 0; i < mastered.size(); ++i) {
        const long value = std::lround(mastered[i] * 32767.0);
        loud.audio.samples.push_back(static_cast<int16_t>(value));
        written[i] = static_cast<float>(value / 32768.0);
    }
    measure(written, loud.lufs, loud.dbtp);
    return loud;
}

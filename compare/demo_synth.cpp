#include "demo_synth.h"

#include "engine/sample16.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double beat_seconds = 0.5;   // 120 beats per minute
constexpr int bars = 5;                // 4 beats each: 10 seconds
constexpr int beats = 4 * bars;

// One chord per bar: A minor, F major, C major, G major, A minor.
// Each row: bass root, then three chord tones (MIDI note numbers).
constexpr std::array<std::array<int, 4>, bars> progression{{
    {{33, 57, 60, 64}},
    {{29, 57, 60, 65}},
    {{36, 55, 60, 64}},
    {{31, 55, 59, 62}},
    {{33, 57, 60, 64}},
}};

// Chord tones placed left, centre and right (0 = left, 1 = right).
constexpr std::array<double, 3> chord_pan{0.15, 0.5, 0.85};

double note_hz(int midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// xorshift32 with a fixed seed: the same noise on every run.
struct Noise {
    uint32_t state = 0x2545f491u;
};

double next_noise(Noise &noise)
{
    uint32_t x = noise.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise.state = x;
    return static_cast<double>(x) / 2147483648.0 - 1.0;   // -1 .. 1
}

struct Mix {
    std::vector<double> left;
    std::vector<double> right;
};

void add(Mix &mix, std::size_t at, double value, double pan)
{
    if (at >= mix.left.size())
        return;
    mix.left[at] += value * std::sqrt(1.0 - pan);
    mix.right[at] += value * std::sqrt(pan);
}

std::size_t sample_at(double seconds)
{
    return static_cast<std::size_t>(std::lround(seconds * kDemoRate));
}

// Kick: a sine falling from 110 Hz to 45 Hz, decaying over ~0.3 s.
void kick(Mix &mix, double start)
{
    double phase = 0.0;
    const std::size_t first = sample_at(start);
    for (int i = 0; i < kDemoRate * 3 / 10; ++i) {
        const double t = static_cast<double>(i) / kDemoRate;
        const double hz = 45.0 + 65.0 * std::exp(-t * 30.0);
        phase += 2.0 * pi * hz / kDemoRate;
        add(mix, first + static_cast<std::size_t>(i), 0.9 * std::exp(-t * 9.0) * std::sin(phase), 0.5);
    }
}

// Snare: a 185 Hz body plus bright noise, slightly right of centre.
void snare(Mix &mix, double start, Noise &noise)
{
    const std::size_t first = sample_at(start);
    double previous = 0.0;
    for (int i = 0; i < kDemoRate / 5; ++i) {
        const double t = static_cast<double>(i) / kDemoRate;
        const double white = next_noise(noise);
        const double bright = white - 0.6 * previous;   // tilt the noise upwards
        previous = white;
        const double body = 0.35 * std::exp(-t * 25.0) * std::sin(2.0 * pi * 185.0 * t);
        add(mix, first + static_cast<std::size_t>(i), body + 0.3 * std::exp(-t * 18.0) * bright, 0.55);
    }
}

// Hi-hat: short high-passed noise, left of centre.
void hihat(Mix &mix, double start, double level, Noise &noise)
{
    const std::size_t first = sample_at(start);
    double previous = 0.0;
    for (int i = 0; i < kDemoRate / 20; ++i) {
        const double t = static_cast<double>(i) / kDemoRate;
        const double white = next_noise(noise);
        const double high = white - previous;            // first difference: a gentle high-pass
        previous = white;
        add(mix, first + static_cast<std::size_t>(i), level * std::exp(-t * 70.0) * high, 0.35);
    }
}

// Bass: eighth notes on the root and its octave, a rounded saw of three partials.
void bass_note(Mix &mix, double start, double seconds, int midi)
{
    const double hz = note_hz(midi);
    const std::size_t first = sample_at(start);
    const int length = static_cast<int>(seconds * kDemoRate);
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kDemoRate;
        const double envelope = std::min(1.0, t * 200.0) * std::exp(-t * 4.0);
        const double wave = std::sin(2.0 * pi * hz * t) + 0.5 * std::sin(4.0 * pi * hz * t) +
                            0.25 * std::sin(6.0 * pi * hz * t);
        add(mix, first + static_cast<std::size_t>(i), 0.28 * envelope * wave, 0.5);
    }
}

// Chord tone: a soft pad (fundamental plus a little second harmonic) for one bar.
void chord_tone(Mix &mix, double start, double seconds, int midi, double pan)
{
    const double hz = note_hz(midi);
    const std::size_t first = sample_at(start);
    const int length = static_cast<int>(seconds * kDemoRate);
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kDemoRate;
        const double attack = std::min(1.0, t * 8.0);
        const double release = std::min(1.0, (seconds - t) * 10.0);
        const double wave = std::sin(2.0 * pi * hz * t) + 0.3 * std::sin(4.0 * pi * hz * t);
        add(mix, first + static_cast<std::size_t>(i), 0.11 * attack * release * wave, pan);
    }
}

} // namespace

std::vector<int16_t> synthesise_demo()
{
    const std::size_t frames = sample_at(beats * beat_seconds);
    Mix mix{std::vector<double>(frames, 0.0), std::vector<double>(frames, 0.0)};
    Noise noise;

    for (int bar = 0; bar < bars; ++bar) {
        const double bar_start = bar * 4 * beat_seconds;
        const auto &chord = progression[static_cast<std::size_t>(bar)];
        for (int voice = 0; voice < 3; ++voice)
            chord_tone(mix, bar_start, 4 * beat_seconds, chord[static_cast<std::size_t>(voice) + 1],
                       chord_pan[static_cast<std::size_t>(voice)]);
        for (int eighth = 0; eighth < 8; ++eighth) {
            const double start = bar_start + eighth * beat_seconds / 2;
            bass_note(mix, start, beat_seconds / 2, chord[0] + (eighth % 4 == 3 ? 12 : 0));
            hihat(mix, start, eighth % 2 == 0 ? 0.18 : 0.10, noise);
        }
        for (int beat = 0; beat < 4; ++beat) {
            const double start = bar_start + beat * beat_seconds;
            if (beat % 2 == 0)
                kick(mix, start);
            else
                snare(mix, start, noise);
        }
    }

    // Normalise to a peak of -3 dBFS, then round to 16 bits.
    double peak = 0.0;
    for (std::size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    const double scale = peak > 0.0 ? 0.7079 * 32767.0 / peak : 0.0;

    std::vector<int16_t> samples(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[2 * i] = korva::sample16::round_away_symmetric(mix.left[i] * scale);
        samples[2 * i + 1] = korva::sample16::round_away_symmetric(mix.right[i] * scale);
    }
    return samples;
}

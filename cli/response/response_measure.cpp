#include "response_measure.h"

#include "cli/pipeline/stages.h"
#include "resample/chain_rate.h"
#include "engine/engine_handle.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <cstring>
#include <numbers>

namespace {

// Least-squares fit of y(n) = a cos(wn) + b sin(wn) + c over a window. Unlike
// a single DFT bin it needs no whole number of periods in the window, and it
// keeps an offset (the 1e-15 the chain adds, a DC leak) out of the amplitude.
struct SineFit {
    // Normal equations: sums of the basis products and of y times each basis.
    double cc = 0, ss = 0, cs = 0, c1 = 0, s1 = 0, n = 0;
    double yc[2] = {}, ys[2] = {}, y1[2] = {};
    bool finite = true;

    // c = cos(wk), s = sin(wk) at the sample's index k.
    void add(double c, double s, float left, float right)
    {
        cc += c * c;
        ss += s * s;
        cs += c * s;
        c1 += c;
        s1 += s;
        n += 1.0;
        const float y[2] = {left, right};
        for (int ch = 0; ch < 2; ++ch) {
            if (!std::isfinite(y[ch]))
                finite = false;
            yc[ch] += y[ch] * c;
            ys[ch] += y[ch] * s;
            y1[ch] += y[ch];
        }
    }

    // Amplitude sqrt(a^2 + b^2) of one channel, by Cramer's rule on
    //   | cc cs c1 | |a|   |yc|
    //   | cs ss s1 | |b| = |ys|
    //   | c1 s1 n  | |c|   |y1|
    double amplitude(int ch) const
    {
        auto det = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
            return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
        };
        const double d = det(cc, cs, c1, cs, ss, s1, c1, s1, n);
        const double a = det(yc[ch], cs, c1, ys[ch], ss, s1, y1[ch], s1, n) / d;
        const double b = det(cc, yc[ch], c1, cs, ys[ch], s1, c1, y1[ch], n) / d;
        return std::hypot(a, b);
    }
};

double to_db(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : -std::numeric_limits<double>::infinity();
}

// One frequency from silence, on the path a file at `rate` takes: the sine
// at `rate`, down to the chain's rate, through the engine's float path and
// back up where the rates differ (the resamplers keep it aligned). The sine
// runs for a settling time long enough for the filters and the echo rings
// to reach their steady state (half a second, at least ten periods), then
// the fit takes the next quarter second (at least twenty periods).
Status measure_one(KorvaEngine *engine, int32_t rate, double chain_rate, double frequency, ResponsePoint &point)
{
    korva_clear_state(engine);
    const double amplitude = std::pow(10.0, response_level_dbfs / 20.0);   // full scale 1.0
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    const double period = rate / frequency;
    const int64_t settle = static_cast<int64_t>(std::ceil(std::max(0.5 * rate, 10.0 * period)));
    const int64_t window = static_cast<int64_t>(std::ceil(std::max(0.25 * rate, 20.0 * period)));
    const std::complex<double> turn = std::polar(1.0, w);

    // e^(jwk) by rotation within a block, taken afresh at each block's start
    // so that rounding cannot build up over the run.
    int64_t made = 0;
    const Source sine = [&](Block &block, int64_t frames) {
        const int64_t count = std::min(frames, settle + window - made);
        block.is_float = true;
        block.samples.resize(static_cast<std::size_t>(2 * count));
        std::complex<double> z = std::polar(1.0, w * static_cast<double>(made));
        for (int64_t i = 0; i < count; ++i, z *= turn)
            block.samples[2 * i] = block.samples[2 * i + 1] = static_cast<float>(amplitude * z.imag());
        made += count;
        return success();
    };
    SineFit fit;
    int64_t seen = 0;
    const Stage fitter{[&](Block &block) {
                           std::complex<double> z = std::polar(1.0, w * static_cast<double>(seen));
                           for (int64_t i = 0; i < block.frames(); ++i, ++seen, z *= turn)
                               if (seen >= settle && seen < settle + window)
                                   fit.add(z.real(), z.imag(), block.samples[2 * i], block.samples[2 * i + 1]);
                           return success();
                       },
                       nullptr};

    std::vector<Stage> stages;
    Stage down, up;
    if (chain_rate != rate) {
        if (Status status = resample_stage(rate, chain_rate, true, kChainPassbandEnd, "", down); !status.ok())
            return status;
        stages.push_back(down);
    }
    stages.push_back(chain_float_stage(engine, chain_rate == rate ? rate : chain_rate));
    if (chain_rate != rate) {
        if (Status status = resample_stage(chain_rate, rate, true, kChainPassbandEnd, "", up); !status.ok())
            return status;
        stages.push_back(up);
    }
    stages.push_back(fitter);
    int64_t frames = 0;
    if (Status status = run_pipeline(sine, stages, {"", nullptr}, frames); !status.ok())
        return status;

    point.frequency = frequency;
    if (!fit.finite || seen <= settle) {
        point.left_db = point.right_db = std::numeric_limits<double>::quiet_NaN();
        return success();
    }
    point.left_db = to_db(fit.amplitude(0) / amplitude);
    point.right_db = to_db(fit.amplitude(1) / amplitude);
    return success();
}

} // namespace

std::vector<double> response_frequencies(int32_t rate)
{
    std::vector<double> frequencies;
    const double nyquist = rate / 2.0;
    for (int i = 0;; ++i) {
        const double f = response_lowest_hz * std::exp2(static_cast<double>(i) / response_points_per_octave);
        if (f >= nyquist)
            break;
        frequencies.push_back(f);
    }
    return frequencies;
}

Status measure_response(const KorvaParams &params, int32_t rate, bool native_rate, std::vector<ResponsePoint> &points)
{
    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory");
    KorvaParams measured = params;
    measured.enable_bw = 0;
    korva_params_write(engine.get(), &measured);
    engine->sample_rate = rate;
    points.clear();
    const double chain_rate = native_rate ? rate : chain_rate_for(rate);
    for (const double f : response_frequencies(rate)) {
        ResponsePoint point;
        if (Status status = measure_one(engine.get(), rate, chain_rate, f, point); !status.ok())
            return status;
        points.push_back(point);
    }
    return success();
}

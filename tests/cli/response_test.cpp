// korva response: where each filter's notch, peak or corner lands in the
// measured table, against the transfer functions of the filter kit's
// coefficients evaluated on the unit circle; a chain with no effects is flat.
#include "cli_harness.h"

#include "engine/filter_kit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <functional>
#include <map>
#include <numbers>
#include <sstream>

namespace {

using cd = std::complex<double>;
using korva::RateClass;

using Row = ResponseRow;

// One step of an order-N design at theta radians per step: g Num(z) / D(z),
//   num[d]: numerator weight of z^-d;  D(z) = 1 - sum_k a[k] z^-(N-k).
template <int N>
cd design(const double (&num)[N + 1], const korva::IirCoeffs<N> &c, double theta)
{
    cd n = 0, d = 1;
    for (int k = 0; k <= N; ++k)
        n += num[k] * std::polar(1.0, -theta * k);
    for (int k = 0; k < N; ++k)
        d -= c.a[k] * std::polar(1.0, -theta * (N - k));
    return c.g * n / d;
}

// A design stepped k times per sample on a held input, output of the last
// step: the hold images w/k + 2pi m/k pass the box 1 + z^-1 + ... + z^-(k-1)
// and the filter, and fold back onto w:
//   G(w) = 1/k sum_m B(t_m) H(t_m) e^(j t_m (k-1)),  t_m = (w + 2 pi m) / k
cd stepped(const std::function<cd(double)> &h, int k, double w)
{
    cd sum = 0;
    for (int m = 0; m < k; ++m) {
        const double t = (w + 2.0 * std::numbers::pi * m) / k;
        cd box = 0;
        for (int i = 0; i < k; ++i)
            box += std::polar(1.0, -t * i);
        sum += box * h(t) * std::polar(1.0, t * (k - 1));
    }
    return sum / static_cast<double>(k);
}

constexpr double binomial3[] = {1, 3, 3, 1};
constexpr double bandpass[] = {1, 0, -3, 0, 3, 0, -1};

cd notch(RateClass rc, double w)
{
    const korva::NotchCoeffs &c = rc == RateClass::high ? korva::woofer_notch6_high : korva::woofer_notch6_mid;
    const double num[] = {1, -c.b1, c.b2, -c.b3, c.b2, -c.b1, 1};
    return stepped([&](double t) { return design<6>(num, c.iir, t); }, korva::two_set_steps(rc), w);
}

cd bass_lowpass(RateClass rc, double w)
{
    const auto &c = rc == RateClass::high ? korva::bass_lowpass3_high : korva::bass_lowpass3_mid;
    return 8.0 * stepped([&](double t) { return design<3>(binomial3, c, t); }, korva::two_set_steps(rc), w);
}

cd single(const std::function<cd(double)> &h, RateClass rc, double w)
{
    return stepped(h, korva::single_set_steps(rc), w);
}

enum class Feature { lowest, highest, corner };

struct Case {
    const char *name;
    std::vector<std::string> settings;
    Feature feature;
    std::function<cd(RateClass, double)> stage;   // the stage's gain at w, gains of 1.0
};

// Every case runs with the pre-amplifier at 1.0 and only its stage on.
const std::vector<std::string> bare = {"--set", "preamp=256", "--set", "dewoofer=0", "--set", "fidelity=0",
                                       "--set", "enable_3dsurround=0"};

std::vector<std::string> tuning(const char *band)
{
    std::vector<std::string> s = {"--set", "spc_mode=1"};
    for (const char *b : {"spc_debass", "spc_detube", "spc_mid", "spc_high"})
        s.insert(s.end(), {"--set", std::string(b) + (std::string(b) == band ? "=256" : "=0")});
    return s;
}

// The speaker tuning's band filters, and a case that hears one band: the
// signal plus (sign 1) or minus (sign -1) that band.
const auto debass_filter = [](double t) { return design<3>(binomial3, korva::debass_lowpass3, t); };
const auto mid_filter = [](double t) { return design<6>(bandpass, korva::mid_bandpass6, t); };
const auto tube_filter = [](double t) { return design<6>(bandpass, korva::tube_bandpass6, t); };
const auto high_filter = [](double t) { return design<6>(bandpass, korva::high_bandpass6, t); };

Case speaker_band(const char *name, const char *band, Feature feature, double sign,
                  const std::function<cd(double)> &filter)
{
    return {name, tuning(band), feature, [=](RateClass rc, double w) { return 1.0 + sign * single(filter, rc, w); }};
}

const Case cases[] = {
    {"DeWoofer notch", {"--set", "dewoofer=256"}, Feature::lowest, notch},
    // L + 0.5 * 8 lowpass(L): a shelf; its corner is where the boost in dB is half that at 20 Hz.
    {"SuperBass corner", {"--set", "superbass=256"}, Feature::corner,
     [](RateClass rc, double w) { return 1.0 + 0.5 * bass_lowpass(rc, w); }},
    speaker_band("speaker bass band peak", "spc_debass", Feature::highest, -1.0, debass_filter),
    speaker_band("speaker mid band peak", "spc_mid", Feature::highest, 1.0, mid_filter),
    speaker_band("speaker tube band notch", "spc_detube", Feature::lowest, -1.0, tube_filter),
    speaker_band("speaker high band peak", "spc_high", Feature::highest, 1.0, high_filter),
};

// Where the feature lies in a curve of (frequency, dB), ascending.
double locate(const std::vector<std::pair<double, double>> &curve, Feature feature)
{
    size_t best = 0;
    for (size_t i = 1; i < curve.size(); ++i) {
        if (feature == Feature::lowest ? curve[i].second < curve[best].second
                                       : feature == Feature::highest && curve[i].second > curve[best].second)
            best = i;
    }
    if (feature != Feature::corner)
        return curve[best].first;
    const double half = curve.front().second / 2.0;
    for (const auto &[f, db] : curve)
        if (db < half)
            return f;
    return curve.back().first;
}

class CliResponseAtRate : public ::testing::TestWithParam<int> {};

TEST_P(CliResponseAtRate, NotchesPeaksAndCornersLieWhereTheCoefficientsPutThem)
{
    ScratchDir dir;
    const int rate = GetParam();
    const RateClass rc = korva::rate_class(rate);
    for (const Case &c : cases) {
        std::vector<std::string> args = {"response", "--quiet", "--rate", std::to_string(rate),
                                          "--csv", dir.file("r.csv")};
        args.insert(args.end(), bare.begin(), bare.end());
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        const RunResult run = run_korva(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;

        std::vector<std::pair<double, double>> left, right, model;
        for (const Row &r : read_response_csv(dir.file("r.csv"))) {
            left.emplace_back(r.hz, r.left);
            right.emplace_back(r.hz, r.right);
        }
        ASSERT_GT(left.size(), 300u);
        // The model on a grid 20 times finer than the table's.
        for (double f = 20.0; f < rate / 2.0; f *= std::exp2(1.0 / 960)) {
            const double w = 2.0 * std::numbers::pi * f / rate;
            model.emplace_back(f, 20.0 * std::log10(std::abs(c.stage(rc, w))));
        }
        const double expected = locate(model, c.feature);
        for (const auto *measured : {&left, &right}) {
            const double found = locate(*measured, c.feature);
            EXPECT_LT(std::abs(std::log2(found / expected)), 1.0 / 12)
                << c.name << " at " << rate << " Hz: measured " << found << " Hz, coefficients give "
                << expected << " Hz";
        }
    }
}

// One rate class each: low, mid, high.
INSTANTIATE_TEST_SUITE_P(RateClasses, CliResponseAtRate, ::testing::Values(11025, 22050, 44100));

TEST(CliResponse, EffectsOffAndUnityPreampAreFlatAndThePlotIsAPicture)
{
    ScratchDir dir;
    for (const int rate : {11025, 44100}) {
        const RunResult run = run_korva({"response", "--rate", std::to_string(rate), "--set", "enable_global=0",
                                         "--set", "preamp=256", "--csv", dir.file("flat.csv"), "--png",
                                         dir.file("flat.png")});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const std::vector<Row> rows = read_response_csv(dir.file("flat.csv"));
        ASSERT_FALSE(rows.empty());
        EXPECT_NEAR(rows.front().hz, 20.0, 1e-9);
        EXPECT_LT(rows.back().hz, rate / 2.0);
        for (const Row &r : rows) {
            EXPECT_NEAR(r.left, 0.0, 0.01) << r.hz << " Hz";
            EXPECT_NEAR(r.right, 0.0, 0.01) << r.hz << " Hz";
        }
        EXPECT_EQ(read_file(dir.file("flat.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
}

// Above 48 kHz the response is that of the file path: the chain at the rate
// halved, so 96 kHz measures what 48 kHz does, where --native-rate puts the
// corners at twice their frequency.
TEST(CliResponse, At96kHzTheCurveIsThe48kHzCurve)
{
    ScratchDir dir;
    const std::vector<std::string> sets{"--set", "superbass=200", "--set", "dewoofer=150", "--set", "fidelity=120"};
    std::map<std::string, std::vector<Row>> curves;
    for (const std::string rate : {"48000", "96000", "96000 native"}) {
        std::vector<std::string> args{"response", "-q", "--rate", rate.substr(0, 5), "--csv", dir.file("r.csv")};
        if (rate.ends_with("native"))
            args.push_back("--native-rate");
        args.insert(args.end(), sets.begin(), sets.end());
        ASSERT_EQ(run_korva(args).exit_code, 0) << rate;
        curves[rate] = read_response_csv(dir.file("r.csv"));
    }
    const std::vector<Row> &at48 = curves["48000"], &at96 = curves["96000"];
    ASSERT_GT(at96.size(), at48.size());   // the same points from 20 Hz up, and more
    for (std::size_t i = 0; i < at48.size(); ++i) {
        ASSERT_NEAR(at96[i].hz, at48[i].hz, 1e-6);
        if (at48[i].left > -20.0) {
            EXPECT_NEAR(at96[i].left, at48[i].left, 0.5) << at48[i].hz << " Hz";
        }
    }
    const auto deepest = [](const std::vector<Row> &rows) {
        return std::min_element(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
                   return (a.hz < 20000 ? a.left : 0) < (b.hz < 20000 ? b.left : 0);
               })->hz;
    };
    EXPECT_LT(std::fabs(std::log2(deepest(at96) / deepest(at48))), 1.0 / 12);
    EXPECT_GT(std::fabs(std::log2(deepest(curves["96000 native"]) / deepest(at48))), 0.9);
}

TEST(CliResponse, RefusesBadRequests)
{
    ScratchDir dir;
    EXPECT_NE(run_korva({"response"}).exit_code, 0);   // neither --png nor --csv
    EXPECT_NE(run_korva({"response", "--rate", "100", "--csv", dir.file("a.csv")}).exit_code, 0);
    EXPECT_NE(run_korva({"response", "--set", "nosuch=1", "--csv", dir.file("a.csv")}).exit_code, 0);
    const RunResult into_dir = run_korva({"response", "--png", dir.path.string()});
    EXPECT_NE(into_dir.exit_code, 0);
    EXPECT_NE(into_dir.err.find("is a directory"), std::string::npos) << into_dir.err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{});
}

} // namespace

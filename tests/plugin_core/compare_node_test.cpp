// The compare node as PipeWire loads it (korva.so, label korva_compare):
// normal listening is Korva's side bit for bit, a switch is a ramp, control
// values out of range count as their defaults, and on the music playing the
// louder side comes down to the other's loudness, and stays there across a
// switch of sides.
#include <gtest/gtest.h>
#include <ladspa.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

enum Port { korva_l, korva_r, input_l, input_r, out_l, out_r, side, korva_level, bypass_level, match_db, count };

struct Node {
    void *library = dlopen(KORVA_LADSPA_OBJECT, RTLD_NOW | RTLD_LOCAL);
    const LADSPA_Descriptor *d = nullptr;
    LADSPA_Handle h = nullptr;
    float controls[count] = {};
    Node()
    {
        auto entry = library != nullptr ? reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"))
                                        : nullptr;
        for (unsigned long i = 0; entry != nullptr && (d = entry(i)) != nullptr; ++i)
            if (std::strcmp(d->Label, "korva_compare") == 0)
                break;
        if (d != nullptr)
            h = d->instantiate(d, 48000);
        controls[korva_level] = controls[bypass_level] = 1.0f;
        for (int p = side; p < count; ++p)
            if (h != nullptr)
                d->connect_port(h, p, &controls[p]);
        if (h != nullptr)
            d->activate(h);
    }
    ~Node()
    {
        if (h != nullptr)
            d->cleanup(h);
        if (library != nullptr)
            dlclose(library);
    }
    // Runs the sides (Korva's left/right, the input's left/right) in blocks of 512.
    std::vector<float> run(const std::vector<float> &korva, const std::vector<float> &input)
    {
        const size_t frames = korva.size();
        std::vector<float> kl(frames), kr(frames), il(frames), ir(frames), ol(frames), outr(frames), out;
        for (size_t i = 0; i < frames; ++i) {
            kl[i] = korva[i];
            kr[i] = -korva[i];
            il[i] = input[i];
            ir[i] = -input[i];
        }
        for (size_t at = 0; at < frames; at += 512) {
            const size_t n = std::min<size_t>(512, frames - at);
            float *ports[] = {&kl[at], &kr[at], &il[at], &ir[at], &ol[at], &outr[at]};
            for (int p = korva_l; p <= out_r; ++p)
                d->connect_port(h, p, ports[p]);
            d->run(h, n);
        }
        return ol;
    }
};

std::vector<float> noise(size_t frames, float amplitude, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
    std::vector<float> out(frames);
    for (float &x : out)
        x = uniform(random);
    return out;
}

} // namespace

TEST(CompareNode, NormalIsKorvaBitForBitASwitchRampsAndTheLouderSideComesDown)
{
    Node node;
    ASSERT_NE(node.h, nullptr) << "no korva_compare in " << KORVA_LADSPA_OBJECT;
    const std::vector<float> input = noise(48000 * 4, 0.1f, 1);
    std::vector<float> korva(input.size());
    for (size_t i = 0; i < input.size(); ++i)
        korva[i] = 2.0f * input[i] + 0.001f * std::sin(static_cast<float>(i));   // 6 dB louder

    // Off, and levels that are no level: Korva's side as it is.
    for (float bad : {NAN, INFINITY, -1.0f, 2.0f}) {
        node.controls[korva_level] = node.controls[bypass_level] = bad;
        node.controls[side] = bad == 2.0f ? 7.0f : 0.0f;   // a side that is none counts as off
        const std::vector<float> out = node.run(korva, input);
        EXPECT_EQ(std::memcmp(out.data(), korva.data(), out.size() * sizeof(float)), 0) << bad;
    }

    // Korva's side from an estimate 3 dB short: the measure takes over and
    // settles on 6 dB within two seconds; the match control says so.
    node.controls[side] = 1.0f;
    node.controls[korva_level] = std::pow(10.0f, -3.0f / 20);
    node.controls[bypass_level] = 1.0f;
    std::vector<float> out = node.run(korva, input);
    const size_t settled = 48000 * 2;
    for (size_t i = settled; i < out.size(); i += 997)
        EXPECT_NEAR(out[i], 0.5f * korva[i], 0.5f * std::fabs(korva[i]) * 0.03f + 1e-7f) << i;
    EXPECT_NEAR(node.controls[match_db], 6.02f, 0.2f);

    // The bypass: the input at full level (Korva is the louder), reached by a
    // linear crossfade, one step a sample over 40 ms.
    const double from = std::pow(10.0, -node.controls[match_db] / 20.0);
    node.controls[side] = 2.0f;
    out = node.run(korva, input);
    const double step = 1.0 / (0.04 * 48000);
    for (size_t i = 0; i < 48000 / 10; ++i) {
        const double k = std::max(0.0, from - static_cast<double>(i + 1) * step);
        const double in = std::min(1.0, static_cast<double>(i + 1) * step);
        ASSERT_NEAR(out[i], k * korva[i] + in * input[i], 1e-6) << "frame " << i;
    }
    for (size_t i = 48000 / 10; i < out.size(); i += 997)
        EXPECT_EQ(out[i], input[i]) << i;
    EXPECT_NEAR(node.controls[match_db], 6.02f, 0.2f) << "the measure survives a switch of sides";
}

#include "float_chain.h"

#include <cmath>

namespace {

// The engine's float path works in the 16-bit scale: x * 32768 in, and
// y / 32768 out, powers of two and so exact.
constexpr float to_engine = 32768.0f;
constexpr float from_engine = 1.0f / 32768.0f;

// The resamplers keep 99% of the chain's band flat (to 23.76 kHz at 48 kHz)
// instead of libsoxr's 91.3%, so the chain's whole band reaches the output
// as it would at the chain's own rate; the steeper filter costs about the
// same at these ratios.
constexpr double passband_end = 0.99;

void process_at_chain(FloatChain &chain)
{
    const auto frames = static_cast<int32_t>(chain.at_chain.size() / 2);
    if (frames == 0)
        return;
    for (float &x : chain.at_chain)
        x *= to_engine;
    // The rate is stored before every block, as the player does.
    chain.engine->sample_rate = chain.engine_rate;
    korva_process_float(chain.engine, chain.at_chain.data(), chain.at_chain.data(), frames);
    for (float &y : chain.at_chain)
        y *= from_engine;
}

Status up_from_chain(FloatChain &chain, std::vector<float> &out)
{
    if (!chain.up.handle) {
        out.swap(chain.at_chain);
        return success();
    }
    return resample(chain.up, chain.at_chain, out);
}

} // namespace

double chain_rate_for(int input_rate)
{
    double rate = input_rate;
    while (rate > kHighestChainRate)
        rate /= 2.0;
    return rate < kLowestHalvedChainRate && input_rate > kHighestChainRate ? kHighestChainRate : rate;
}

Status start_float_chain(FloatChain &chain, KorvaEngine *engine, int input_rate, double chain_rate,
                         int output_rate)
{
    chain.engine = engine;
    chain.engine_rate = static_cast<int32_t>(std::lround(chain_rate));
    if (chain_rate != input_rate)
        if (Status status = start_resampler(input_rate, chain_rate, chain.down, true, passband_end); !status.ok())
            return status;
    if (chain_rate != output_rate)
        if (Status status = start_resampler(chain_rate, output_rate, chain.up, true, passband_end); !status.ok())
            return status;
    return success();
}

Status run_float_chain(FloatChain &chain, std::span<const float> in, std::vector<float> &out)
{
    if (chain.down.handle) {
        if (Status status = resample(chain.down, in, chain.at_chain); !status.ok())
            return status;
    } else {
        chain.at_chain.assign(in.begin(), in.end());
    }
    process_at_chain(chain);
    return up_from_chain(chain, out);
}

Status finish_float_chain(FloatChain &chain, std::vector<float> &out)
{
    chain.at_chain.clear();
    if (chain.down.handle) {
        if (Status status = finish_resampler(chain.down, chain.at_chain); !status.ok())
            return status;
        process_at_chain(chain);
    }
    if (Status status = up_from_chain(chain, out); !status.ok())
        return status;
    if (chain.up.handle) {
        std::vector<float> tail;
        if (Status status = finish_resampler(chain.up, tail); !status.ok())
            return status;
        out.insert(out.end(), tail.begin(), tail.end());
    }
    return success();
}

#include "stages.h"

#include "engine/sample16.h"
#include "resample/resampler.h"

#include <algorithm>
#include <memory>

namespace {

constexpr float to_engine = 32768.0f;
constexpr float from_engine = 1.0f / 32768.0f;

} // namespace

Source stereo_reader(AudioInput &input, bool as_float)
{
    return [&input, as_float](Block &block, int64_t frames) {
        int64_t got = 0;
        block.is_float = as_float;
        if (as_float) {
            block.samples.resize(static_cast<std::size_t>(2 * frames));
            if (Status status = read_stereo_float(input, block.samples, got); !status.ok())
                return status;
            block.samples.resize(static_cast<std::size_t>(2 * got));
        } else {
            block.pcm.resize(static_cast<std::size_t>(2 * frames));
            if (Status status = read_stereo(input, block.pcm, got); !status.ok())
                return status;
            block.pcm.resize(static_cast<std::size_t>(2 * got));
        }
        return success();
    };
}

Stage chain16_stage(KorvaEngine *engine, int rate)
{
    return {[engine, rate](Block &block) {
                engine->sample_rate = rate;
                korva_process(engine, block.pcm.data(), block.pcm.data(), static_cast<int32_t>(block.frames()));
                return success();
            },
            nullptr};
}

Stage chain_float_stage(KorvaEngine *engine, double rate)
{
    const auto engine_rate = static_cast<int32_t>(std::lround(rate));
    return {[engine, engine_rate](Block &block) {
                const auto frames = static_cast<int32_t>(block.frames());
                if (frames == 0)
                    return success();
                for (float &x : block.samples)
                    x *= to_engine;
                engine->sample_rate = engine_rate;
                korva_process_float(engine, block.samples.data(), block.samples.data(), frames);
                for (float &y : block.samples)
                    y *= from_engine;
                return success();
            },
            nullptr};
}

Status resample_stage(double from, double to, bool float_input, double passband_end, const std::string &what,
                      Stage &stage)
{
    auto resampler = std::make_shared<Resampler>();
    std::string error;
    if (!start_resampler(from, to, *resampler, error, float_input, passband_end))
        return failure(what + ": " + error);
    auto converted = std::make_shared<std::vector<float>>();
    const auto done = [what, converted](Block &block, bool ok, const std::string &message) {
        if (!ok)
            return failure(what + ": " + message);
        block.is_float = true;
        block.pcm.clear();
        block.samples.swap(*converted);
        return success();
    };
    stage.flow = [resampler, converted, done](Block &block) {
        std::string message;
        const bool ok = block.is_float ? resample(*resampler, block.samples, *converted, message)
                                       : resample(*resampler, block.pcm, *converted, message);
        return done(block, ok, message);
    };
    stage.drain = [resampler, converted, done](Block &block) {
        std::string message;
        const bool ok = finish_resampler(*resampler, *converted, message);
        return done(block, ok, message);
    };
    return success();
}

Stage trim_stage(const int64_t &input_frames)
{
    auto passed = std::make_shared<int64_t>(0);
    return {[&input_frames, passed](Block &block) {
                const int64_t keep = std::clamp<int64_t>(input_frames - *passed, 0, block.frames());
                block.samples.resize(static_cast<std::size_t>(2 * keep));
                *passed += keep;
                return success();
            },
            [&input_frames, passed](Block &block) {
                block.is_float = true;
                block.samples.assign(static_cast<std::size_t>(2 * std::max<int64_t>(input_frames - *passed, 0)), 0.0f);
                *passed += block.frames();
                return success();
            }};
}

int64_t apply_gain(std::span<int16_t> stereo, float gain)
{
    int64_t clipped = 0;
    for (int16_t &sample : stereo) {
        bool clip = false;
        sample = korva::sample16::round_away_symmetric(static_cast<float>(sample) * gain, clip);
        clipped += clip ? 1 : 0;
    }
    return clipped;
}

Stage gain_stage(float gain, int64_t &clipped)
{
    return {[gain, &clipped](Block &block) {
                if (block.is_float)
                    for (float &x : block.samples)
                        x *= gain;
                else
                    clipped += apply_gain(block.pcm, gain);
                return success();
            },
            nullptr};
}

Stage writer_stage(AudioOutput &output)
{
    return {[&output](Block &block) {
                return block.is_float ? write_stereo_float(output, block.samples) : write_stereo(output, block.pcm);
            },
            nullptr};
}

Stage depth_writer_stage(AudioOutput &output, int64_t &clipped)
{
    return {[&output, &clipped](Block &block) { return write_stereo_at_depth(output, block.samples, clipped); },
            nullptr};
}

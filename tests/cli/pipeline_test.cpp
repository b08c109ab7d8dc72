// The one block driver: blocks in order through every stage, each stage's
// drain through the stages after it only, a trim that drops and pads to the
// input's length, and a signal that stops the run before the next block.
#include "cli/common/interrupt.h"
#include "cli/pipeline/stages.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

// A source of `total` frames whose samples count up from 1.
Source counting(int64_t total)
{
    auto made = std::make_shared<int64_t>(0);
    return [total, made](Block &block, int64_t frames) {
        const int64_t count = std::min(frames, total - *made);
        block.is_float = true;
        for (int64_t i = 0; i < 2 * count; ++i)
            block.samples.push_back(static_cast<float>(2 * *made + i + 1));
        *made += count;
        return success();
    };
}

TEST(BlockPipeline, DrainsFlowOnlyThroughLaterStagesAndTrimKeepsTheInputsLength)
{
    std::vector<std::string> seen;
    // Holds back the last 10 frames of each block and gives them at the drain.
    std::vector<float> held;
    const Stage holder{[&](Block &block) {
                           held.insert(held.end(), block.samples.end() - 20, block.samples.end());
                           block.samples.resize(block.samples.size() - 20);
                           return success();
                       },
                       [&](Block &block) {
                           block.is_float = true;
                           block.samples = held;
                           block.samples.push_back(-1), block.samples.push_back(-1);   // one frame too many
                           return success();
                       }};
    const auto recorder = [&](std::string name) {
        return Stage{[&seen, name](Block &block) {
                         seen.push_back(name + ":" + std::to_string(block.frames()));
                         return success();
                     },
                     nullptr};
    };
    int64_t input_frames = 0;
    std::vector<float> out;
    std::vector<Stage> stages{recorder("before"), holder, trim_stage(input_frames), recorder("after"),
                              Stage{[&](Block &block) {
                                        out.insert(out.end(), block.samples.begin(), block.samples.end());
                                        return success();
                                    },
                                    nullptr}};
    ASSERT_TRUE(run_pipeline(counting(kBlockFrames + 100), stages, {"x", nullptr}, input_frames).ok());
    EXPECT_EQ(input_frames, kBlockFrames + 100);
    EXPECT_EQ(seen, (std::vector<std::string>{"before:4096", "after:4086", "before:100", "after:90", "after:20"}));
    ASSERT_EQ(out.size(), static_cast<std::size_t>(2 * input_frames)) << "the extra frame is trimmed";
    for (std::size_t i = 0; i < 2 * 4086; ++i)
        ASSERT_EQ(out[i], static_cast<float>(i + 1));

    // A short output is padded with silence to the input's length.
    input_frames = 0;
    std::vector<Stage> short_stages{Stage{[](Block &block) {
                                              block.samples.resize(block.samples.size() / 2);
                                              return success();
                                          },
                                          nullptr},
                                    trim_stage(input_frames), stages.back()};
    out.clear();
    ASSERT_TRUE(run_pipeline(counting(1000), short_stages, {"x", nullptr}, input_frames).ok());
    ASSERT_EQ(out.size(), 2000u);
    EXPECT_EQ(out[999], 1000.0f);
    EXPECT_EQ(out[1000], 0.0f);
}

TEST(BlockPipeline, ASignalStopsTheRunBeforeTheNextBlock)
{
    install_interrupt_handlers();
    int blocks = 0;
    std::vector<Stage> stages{Stage{[&](Block &) {
                                        if (++blocks == 2)
                                            raise(SIGTERM);
                                        return success();
                                    },
                                    nullptr}};
    int64_t frames = 0;
    const Status status = run_pipeline(counting(10 * kBlockFrames), stages, {"out.wav", nullptr}, frames);
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(status.exit_code, 128 + SIGTERM);
    EXPECT_EQ(status.message, "out.wav: interrupted by Terminated; no output written");
}

} // namespace

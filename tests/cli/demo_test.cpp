// korva demo: two files, the same bytes on every run, the output being the
// input through the engine with the default settings.
#include "cli_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

TEST(CliDemo, WritesTheSameTwoFilesOnEveryRun)
{
    ScratchDir first;
    ScratchDir second;
    const RunResult run = run_korva({"demo", first.file("d")});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("441000"), std::string::npos) << run.out;
    ASSERT_EQ(run_korva({"demo", second.file("d"), "-q"}).exit_code, 0);

    for (const char *name : {"demo-in.wav", "demo-out.wav"}) {
        SCOPED_TRACE(name);
        const std::string bytes = read_file(first.file("d/") + name);
        EXPECT_GT(bytes.size(), 1000000u);
        EXPECT_EQ(bytes, read_file(second.file("d/") + name));
    }
    EXPECT_EQ(list_directory(first.path / "d"), (std::vector<std::string>{"demo-in.wav", "demo-out.wav"}));

    const Audio in = read_audio(first.file("d/demo-in.wav"));
    EXPECT_EQ(in.rate, 44100);
    EXPECT_EQ(in.channels, 2);
    EXPECT_EQ(in.frames(), 441000);
    // Both channels carry sound and differ: the chords are panned apart.
    int left_peak = 0, right_peak = 0;
    bool channels_differ = false;
    for (std::size_t i = 0; i + 1 < in.samples.size(); i += 2) {
        left_peak = std::max(left_peak, std::abs(static_cast<int>(in.samples[i])));
        right_peak = std::max(right_peak, std::abs(static_cast<int>(in.samples[i + 1])));
        channels_differ = channels_differ || in.samples[i] != in.samples[i + 1];
    }
    EXPECT_GT(left_peak, 10000);
    EXPECT_GT(right_peak, 10000);
    EXPECT_TRUE(channels_differ);

    EXPECT_EQ(read_audio(first.file("d/demo-out.wav")).samples, process_directly(params_with({}), 44100, in.samples));
}

} // namespace

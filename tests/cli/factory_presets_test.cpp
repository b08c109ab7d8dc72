// The factory presets through the korva program: each one's measured
// response meets the target docs/presets.md states for it, each plays the
// demo clip and a loud master at matched loudness without clipping (or its
// description says why not), "Flat" leaves 16-bit audio as it is, and a
// preset's name works where a preset file does.
#include "cli_harness.h"
#include "loud_master.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <functional>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Gain at hz minus the gain at 1 kHz, within tolerance (dB); a centred
// source stays centred (left equals right) at every frequency.
struct Figure {
    double hz, db, tolerance;
};

struct Target {
    const char *name;
    double at_1khz;                 // absolute gain at 1 kHz, dB (the pre-amplifier's share)
    std::vector<Figure> figures;
    bool clean_on_loud_master;      // no sample clipped at matched loudness
};

const Target kTargets[] = {
    {"Flat", 0.0, {{20, 0, 0.05}, {100, 0, 0.05}, {3000, 0, 0.05}, {10000, 0, 0.05}, {20000, 0, 0.05}}, true},
    {"Laptop speakers", -2.6, {{40, -3.0, 0.75}, {100, -2.8, 0.75}, {2500, 3.5, 0.75}, {10000, 0.8, 0.5}}, true},
    {"Small speakers", -3.7, {{40, 3.0, 0.75}, {80, 2.5, 0.75}, {500, -0.5, 0.75}, {3000, 1.4, 0.5},
                              {10000, 0.6, 0.5}}, false},
    {"Headphones", -2.2, {{40, 2.4, 0.75}, {80, 1.9, 0.75}, {500, -0.3, 0.5}, {3000, 1.0, 0.5},
                          {10000, 0.4, 0.5}}, false},
    {"Late night", -1.4, {{40, -2.2, 0.75}, {100, -2.0, 0.75}, {2500, 2.2, 0.75}, {10000, 0.2, 0.5}}, true},
};

using Row = ResponseRow;

const Row &nearest(const std::vector<Row> &rows, double hz)
{
    const Row *best = &rows.front();
    for (const Row &r : rows)
        if (std::abs(std::log(r.hz / hz)) < std::abs(std::log(best->hz / hz)))
            best = &r;
    return *best;
}

// The count after `label` in a summary line ("clipped:     0 output ...",
// "matched:     +1.2 dB after the chain, 0 samples clipped by it"), -1 if absent.
long count_after(const std::string &summary, const std::string &line_start, const std::string &before)
{
    const auto line = summary.find(line_start);
    if (line == std::string::npos)
        return -1;
    const auto at = before.empty() ? line + line_start.size() : summary.find(before, line) + before.size();
    return std::strtol(summary.c_str() + at, nullptr, 10);
}

std::string description_of(const std::string &name)
{
    const RunResult list = run_korva({"preset", "list"});
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + "  ", 0) == 0)
            return line;
    return "";
}

TEST(FactoryPresets, EachMeasuredResponseMeetsItsTarget)
{
    ScratchDir dir;
    for (const Target &target : kTargets) {
        SCOPED_TRACE(target.name);
        const std::string csv = dir.file("response.csv");
        ASSERT_EQ(run_korva({"response", "--preset", target.name, "--csv", csv}).exit_code, 0);
        const std::vector<Row> rows = read_response_csv(csv);
        ASSERT_GT(rows.size(), 400u);
        const double reference = nearest(rows, 1000).left;
        EXPECT_NEAR(reference, target.at_1khz, 0.2);
        for (const Figure &f : target.figures)
            EXPECT_NEAR(nearest(rows, f.hz).left - reference, f.db, f.tolerance) << f.hz << " Hz";
        for (const Row &r : rows)
            ASSERT_NEAR(r.left, r.right, 0.05) << r.hz << " Hz: a centred source moved";
    }
}

TEST(FactoryPresets, DemoAndLoudMasterPlayAtMatchedLoudnessWithoutClippingOrSayWhy)
{
    ScratchDir dir;
    ASSERT_EQ(run_korva({"demo", dir.file("demo"), "-q"}).exit_code, 0);
    const LoudMaster loud = make_loud_master();
    EXPECT_NEAR(loud.lufs, -8.0, 0.1);
    EXPECT_NEAR(loud.dbtp, -0.3, 0.1);
    write_audio(dir.file("loud.wav"), loud.audio, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    for (const Target &target : kTargets) {
        for (const std::string input : {"demo/demo-in.wav", "loud.wav"}) {
            SCOPED_TRACE(std::string(target.name) + " on " + input);
            const RunResult run = run_korva({"process", dir.file(input), dir.file("out.wav"), "--preset",
                                             target.name, "--match-loudness"});
            ASSERT_EQ(run.exit_code, 0) << run.err;
            const long at_limit = count_after(run.out, "clipped:", "");
            const long by_gain = count_after(run.out, "matched:", "chain, ");
            ASSERT_GE(at_limit, 0) << run.out;
            ASSERT_GE(by_gain, 0) << run.out;
            if (input == "loud.wav" && !target.clean_on_loud_master) {
                EXPECT_GT(at_limit, 0) << "clean now: drop the warning from the description";
                EXPECT_NE(description_of(target.name).find("clips"), std::string::npos);
                continue;
            }
            EXPECT_EQ(at_limit, 0) << run.out;
            EXPECT_EQ(by_gain, 0) << run.out;
        }
    }
}

TEST(FactoryPresets, FlatLeavesSixteenBitAudioUnchangedWhateverTheMasterSwitch)
{
    ScratchDir dir;
    Audio in = make_signal(20000, 2, 44100, 32767);
    for (int16_t &s : in.samples)
        if (s == -32768)
            s = -32767;
    in.samples[0] = 32767;
    in.samples[1] = -32767;
    in.samples[2] = 0;
    write_audio(dir.file("in.wav"), in, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (const char *master : {"enable_global=1", "enable_global=0"}) {
        SCOPED_TRACE(master);
        const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("out.wav"), "--preset", "Flat",
                                         "--set", master, "--quiet"});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(read_audio(dir.file("out.wav")).samples, in.samples);
    }
}

TEST(FactoryPresets, ANameWorksWhereAPresetFileDoesAndAFileOfThatNameWins)
{
    // preset list: every name with the description the index gives it.
    const RunResult list = run_korva({"preset", "list"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    for (const Target &target : kTargets)
        EXPECT_GT(description_of(target.name).size(), std::string(target.name).size() + 20) << list.out;

    // A name reads the same preset as its file, ignoring case when that is unique.
    const RunResult by_name = run_korva({"preset", "show", "late NIGHT"});
    ASSERT_EQ(by_name.exit_code, 0) << by_name.err;
    const std::string file = std::string(KORVA_BIN).substr(0, std::string(KORVA_BIN).rfind('/')) +
                             "/../share/korva/presets/late-night.kp";
    const std::string by_file = run_korva({"preset", "show", file}).out;
    EXPECT_EQ(by_name.out, "preset: factory preset \"Late night\"\n" + by_file.substr(by_file.find('\n') + 1));
    EXPECT_NE(by_name.out.find("spc_mode=1"), std::string::npos);

    // A name that is neither a file nor a factory preset: the message lists them.
    const RunResult unknown = run_korva({"process", "in.wav", "out.wav", "--preset", "Laptop"});
    EXPECT_EQ(unknown.exit_code, 1);
    EXPECT_NE(unknown.err.find("no factory preset of that name; factory presets: \"Flat\", \"Laptop speakers\""),
              std::string::npos)
        << unknown.err;

    // A file called "Flat" in the working folder wins over the factory "Flat".
    ScratchDir dir;
    ASSERT_EQ(run_korva({"preset", "save", dir.file("Flat"), "--set", "superbass=77"}).exit_code, 0);
    const std::string here = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    const RunResult shown = run_korva({"preset", "show", "Flat"});
    const RunResult response = run_korva({"response", "--preset", "Flat", "--csv", "r.csv"});
    ASSERT_EQ(chdir(here.c_str()), 0);
    EXPECT_NE(shown.out.find("superbass=77"), std::string::npos) << shown.out << shown.err;
    EXPECT_EQ(response.exit_code, 0) << response.err;
    const std::vector<Row> rows = read_response_csv(dir.file("r.csv"));
    EXPECT_GT(nearest(rows, 40).left - nearest(rows, 1000).left, 3.0) << "the file's SuperBass, not Flat";
}

// Anything called "Flat" in the working folder is the user's, whatever it
// is: a dangling link fails naming it as a directory does, never falling
// back to the factory preset unseen; each report says which preset it used.
TEST(FactoryPresets, AnyEntryOfThatNameIsTheUsersFileAndEachRunSaysWhichPresetItUsed)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(1000, 2, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string here = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    struct Case {
        const char *what;
        std::function<void()> make;
        const char *error;   // empty: it runs, with the factory preset
    };
    const Case cases[] = {
        {"nothing", [] {}, ""},
        {"a dangling link", [] { std::filesystem::create_symlink("gone.kp", "Flat"); }, "cannot open: No such file"},
        {"a directory", [] { std::filesystem::create_directory("Flat"); }, "not a regular file"},
    };
    std::vector<std::string> failures;
    for (const Case &c : cases) {
        std::filesystem::remove("Flat");
        c.make();
        const std::vector<std::vector<std::string>> commands = {
            {"process", "in.wav", "out.wav", "--preset", "Flat"},
            {"response", "--preset", "Flat", "--csv", "r.csv"},
            {"preset", "show", "Flat"},
        };
        for (const auto &args : commands) {
            const RunResult run = run_korva(args);
            const std::string name = std::string(c.what) + ": " + args[0] + " " + args[1];
            if (*c.error == '\0' && (run.exit_code != 0 || run.out.find("preset:") == std::string::npos ||
                                     run.out.find("factory preset \"Flat\"\n") == std::string::npos))
                failures.push_back(name + " exit " + std::to_string(run.exit_code) + ": " + run.out + run.err);
            if (*c.error != '\0' && (run.exit_code != 1 || run.err.rfind("korva: Flat: ", 0) != 0 ||
                                     run.err.find(c.error) == std::string::npos))
                failures.push_back(name + " exit " + std::to_string(run.exit_code) + ": " + run.err);
        }
    }
    std::filesystem::remove("Flat");
    ASSERT_EQ(chdir(here.c_str()), 0);
    EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

}  // namespace

// The Release plug-ins in real, uninstrumented hosts: lv2_validate, lv2info,
// lv2apply, analyseplugin, applyplugin and sox's ladspa effect, each against
// `korva process` of the same file with the same settings.
//
// Conversion rules of the hosts (libsndfile's, for lv2apply): all read a
// 16-bit sample s as s/32768; sox and applyplugin write x*32768 back, so
// their files equal korva's; lv2apply writes lrintf(32767*x), so its files
// equal korva's mapped through that rule, which the pass-through case shows
// to be the host's own.
#include "tests/cli/cli_harness.h"

#include "engine/param_fields.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>

namespace {

// Every control: symbol, range, the engine's default and the default a
// LADSPA host takes from the port's hint.
struct Control {
    const char *symbol;
    int minimum, maximum, lv2_default, ladspa_default;
};
constexpr Control kControls[] = {
    {"enable_global", 0, 1, 1, 1},          {"chain_index", 0, 5, 0, 0},
    {"preamp", 0, 384, 128, 100},           {"superbass", 0, 256, 0, 0},
    {"dewoofer", 0, 256, 64, 64},           {"fidelity", 0, 256, 64, 64},
    {"enable_3dsurround", 0, 1, 1, 1},      {"enable_extspace", 0, 1, 0, 0},
    {"enable_extfx", 0, 1, 0, 0},           {"enable_vs", 0, 1, 0, 0},
    {"enable_bw", 0, 1, 0, 0},              {"_3dsurround_mode", 0, 3, 1, 1},
    {"_3dsurround_depth", 0, 256, 256, 256}, {"_3dsurround_bass", 0, 256, 256, 256},
    {"extspace_mode", 0, 2, 1, 1},          {"extfx_mode", 0, 1, 1, 1},
    {"extfx_space", 0, 256, 86, 100},       {"extfx_center", 0, 256, 86, 100},
    {"vs_mode", 0, 1, 1, 1},                {"vs_overdrive", 0, 256, 128, 128},
    {"vs_intensity", 0, 256, 86, 100},      {"spc_swapstereo", 0, 1, 0, 0},
    {"spc_phaseinvert", 0, 1, 0, 0},        {"spc_mode", 0, 1, 0, 0},
    {"spc_debass", 0, 256, 256, 256},       {"spc_detube", 0, 256, 256, 256},
    {"spc_mid", 0, 256, 86, 100},           {"spc_high", 0, 256, 86, 100},
    {"bw_mode", 0, 2, 1, 1},                {"bw_fq", 2000, 15000, 3600, 2000},
    {"bw_value", 0, 256, 51, 64},           {"bw_sigpreamp", 0, 384, 128, 100},
};
static_assert(std::size(kControls) == KORVA_PARAM_FIELD_COUNT);

// Every stage on, the chain in a non-default order.
const std::vector<std::string> kAllOn = {
    "chain_index=3", "superbass=160", "enable_extspace=1", "extspace_mode=1", "enable_extfx=1",
    "enable_vs=1",   "enable_bw=1",   "_3dsurround_mode=3", "spc_mode=1",    "spc_phaseinvert=1",
    "bw_mode=2",     "bw_value=102",  "bw_fq=7000",        "vs_intensity=200"};
// Effects off, gain 1.0: korva's output is its input.
const std::vector<std::string> kPassThrough = {"enable_global=0", "preamp=256"};

struct Ran {
    int status = -1;
    std::string out;   // stdout and stderr together
};

// Runs a program found on PATH with extra environment variables.
Ran run(const std::vector<std::string> &args, const std::map<std::string, std::string> &env = {})
{
    const korva_test::Captured captured = korva_test::run_captured(args, env, true);
    return {captured.exit_code, captured.out};
}

const std::map<std::string, std::string> kLv2Env = {{"LV2_PATH", KORVA_LV2_PATH}};

std::vector<std::string> korva_sets(const std::vector<std::string> &assignments)
{
    std::vector<std::string> args;
    for (const std::string &a : assignments)
        args.insert(args.end(), {"--set", a});
    return args;
}

// The 32 control values in port order, as text.
std::vector<std::string> positional(const std::vector<std::string> &assignments)
{
    const KorvaParams p = params_with(assignments);
    std::vector<std::string> values;
    for (const KorvaParamField &field : korva_param_fields)
        values.push_back(std::to_string(korva_param_get(&p, &field)));
    return values;
}

// libsndfile writing a float sample as lrintf(32767 * x).
std::vector<int16_t> lv2apply_rule(const std::vector<int16_t> &samples)
{
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<int16_t>(std::lrintf(32767.0f * (samples[i] / 32768.0f)));
    return out;
}

size_t differences(const std::vector<int16_t> &a, const std::vector<int16_t> &b)
{
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

class Hosts : public ::testing::Test {
protected:
    ScratchDir dir;

    // A loud 16-bit stereo file with full-scale peaks and both extremes.
    std::string input(int rate)
    {
        Audio audio = make_signal(rate * 3 / 2, 2, rate, 32767, static_cast<uint32_t>(rate));
        audio.samples[100] = -32768;
        audio.samples[201] = 32767;
        const std::string path = dir.file("in-" + std::to_string(rate) + ".wav");
        write_audio(path, audio, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        return path;
    }

    std::vector<int16_t> korva(const std::string &in, const std::vector<std::string> &sets,
                               const std::string &preset = {})
    {
        const std::string out = dir.file("korva.wav");
        std::vector<std::string> args = {"process", in, out, "--quiet"};
        if (!preset.empty())
            args.insert(args.end(), {"--preset", preset});
        const std::vector<std::string> s = korva_sets(sets);
        args.insert(args.end(), s.begin(), s.end());
        const RunResult r = run_korva(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return read_audio(out).samples;
    }

    std::vector<int16_t> lv2apply(const std::string &in, const std::map<std::string, std::string> &controls)
    {
        const std::string out = dir.file("lv2apply.wav");
        std::vector<std::string> args = {"lv2apply", "-i", in, "-o", out};
        for (const auto &[symbol, value] : controls)
            args.insert(args.end(), {"-c", symbol, value});
        args.push_back("urn:korva:enhancer");
        const Ran r = run(args, kLv2Env);
        EXPECT_EQ(r.status, 0) << r.out;
        return read_audio(out).samples;
    }
};

std::map<std::string, std::string> as_controls(const std::vector<std::string> &assignments)
{
    std::map<std::string, std::string> controls;
    for (const std::string &a : assignments)
        controls[a.substr(0, a.find('='))] = a.substr(a.find('=') + 1);
    return controls;
}

TEST_F(Hosts, Lv2ValidateFindsNoErrorAndLv2infoListsEveryPortWithRangeAndDefault)
{
    const std::string bundle = std::string(KORVA_LV2_PATH) + "/korva.lv2/";
    const Ran valid = run({"lv2_validate", bundle + "manifest.ttl", bundle + "korva.ttl", bundle + "presets.ttl"});
    EXPECT_NE(valid.out.find("Found 0 errors"), std::string::npos) << valid.out;

    const Ran info = run({"lv2info", "urn:korva:enhancer"}, kLv2Env);
    ASSERT_EQ(info.status, 0) << info.out;
    for (size_t i = 0; i < std::size(kControls); ++i) {
        const Control &c = kControls[i];
        // One port's block, from its number to the next port's.
        const std::string head = "Port " + std::to_string(i + 4) + ":";
        const size_t at = info.out.find(head);
        ASSERT_NE(at, std::string::npos) << head;
        const std::string block = info.out.substr(at, info.out.find("Port ", at + head.size()) - at);
        std::ostringstream want;
        want << std::fixed;
        want.precision(6);
        for (const auto &[key, value] : {std::pair{"Symbol:      ", std::string(c.symbol)},
                                         {"Minimum:     ", std::to_string(c.minimum) + ".000000"},
                                         {"Maximum:     ", std::to_string(c.maximum) + ".000000"},
                                         {"Default:     ", std::to_string(c.lv2_default) + ".000000"}})
            EXPECT_NE(block.find(std::string(key) + value + "\n"), std::string::npos) << block;
    }
    EXPECT_NE(info.out.find("hardRTCapable"), std::string::npos);
    EXPECT_NE(info.out.find("Defaults"), std::string::npos) << "the factory preset";
    EXPECT_NE(info.out.find("Late night"), std::string::npos) << "a preset of share/korva/presets";
}

TEST_F(Hosts, Lv2applyEqualsKorvaProcessThroughLibsndfilesWriteRule)
{
    for (const int rate : {44100, 22050}) {
        const std::string in = input(rate);
        const std::vector<int16_t> original = read_audio(in).samples;

        // Pass-through: korva gives the input back (but -32768, clipped to
        // -32767); lv2apply gives what libsndfile makes of it.
        const std::vector<int16_t> through = korva(in, kPassThrough);
        EXPECT_EQ(differences(through, original), 1u);
        const std::vector<int16_t> host_through = lv2apply(in, as_controls(kPassThrough));
        EXPECT_EQ(differences(host_through, lv2apply_rule(through)), 0u) << rate;
        EXPECT_GT(differences(host_through, through), 1000u) << "the rule must be visible";

        for (const auto *sets : {&kAllOn, static_cast<const std::vector<std::string> *>(nullptr)}) {
            const std::vector<std::string> assignments = sets != nullptr ? *sets : std::vector<std::string>{};
            const std::vector<int16_t> want = lv2apply_rule(korva(in, assignments));
            EXPECT_EQ(differences(lv2apply(in, as_controls(assignments)), want), 0u)
                << rate << " Hz, " << (sets != nullptr ? "every stage on" : "defaults");
        }
    }
}

TEST_F(Hosts, AnalysepluginShowsTheDescriptorAndApplypluginAndSoxEqualKorvaProcess)
{
    const std::string object = std::string(KORVA_LADSPA_DIR) + "/korva.so";
    const Ran shown = run({"analyseplugin", object});
    ASSERT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("Plugin Label: \"korva\""), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Plugin Unique ID: 19286"), std::string::npos);
    EXPECT_NE(shown.out.find("Hard Real-Time"), std::string::npos);
    // The check buttons are toggles; the rest, option menus included, integer ranges.
    const std::regex toggle("enable_.*|spc_swapstereo|spc_phaseinvert|spc_mode");
    for (const Control &c : kControls) {
        std::string line = "\"";
        line += c.symbol;
        line += "\" input, control, ";
        line += std::regex_match(c.symbol, toggle) ? "toggled"
                                                   : std::to_string(c.minimum) + " to " + std::to_string(c.maximum);
        line += ", default " + std::to_string(c.ladspa_default);
        EXPECT_NE(shown.out.find(line), std::string::npos) << line;
    }

    const std::map<std::string, std::string> env = {{"LADSPA_PATH", KORVA_LADSPA_DIR}};
    for (const int rate : {44100, 22050}) {
        const std::string in = input(rate);
        for (const auto &assignments : {std::vector<std::string>{}, kAllOn}) {
            const std::vector<int16_t> want = korva(in, assignments);
            const std::vector<std::string> values = positional(assignments);

            std::vector<std::string> apply = {"applyplugin", in, dir.file("applyplugin.wav"), object, "korva"};
            apply.insert(apply.end(), values.begin(), values.end());
            const Ran applied = run(apply);
            ASSERT_EQ(applied.status, 0) << applied.out;
            EXPECT_EQ(differences(read_audio(dir.file("applyplugin.wav")).samples, want), 0u) << "applyplugin " << rate;

            std::vector<std::string> sox = {"sox", "-D", in, "-b", "16", dir.file("sox.wav"), "ladspa", "korva.so", "korva"};
            sox.insert(sox.end(), values.begin(), values.end());
            const Ran soxed = run(sox, env);
            ASSERT_EQ(soxed.status, 0) << soxed.out;
            EXPECT_EQ(differences(read_audio(dir.file("sox.wav")).samples, want), 0u) << "sox " << rate;
        }
    }
}

// The port values of an exported preset, read back through sordi (so the
// file is valid Turtle), applied by lv2apply.
TEST_F(Hosts, AnExportedPresetAppliedByLv2applyEqualsKorvaProcessWithThePreset)
{
    const std::string preset = dir.file("club.kp");
    std::vector<std::string> save = {"preset", "save", preset};
    const std::vector<std::string> sets = korva_sets(kAllOn);
    save.insert(save.end(), sets.begin(), sets.end());
    ASSERT_EQ(run_korva(save).exit_code, 0);
    const RunResult exported = run_korva({"preset", "export-lv2", preset, dir.file("presets.lv2")});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;

    const Ran triples = run({"sordi", dir.file("presets.lv2/club.ttl")});
    ASSERT_EQ(triples.status, 0) << triples.out;
    std::map<std::string, std::string> symbol_of, value_of;
    const std::regex symbol(R"re((_:\w+) <http://lv2plug.in/ns/lv2core#symbol> "(\w+)")re");
    const std::regex value(R"re((_:\w+) <http://lv2plug.in/ns/ext/presets#value> "([-0-9.]+)")re");
    std::istringstream lines(triples.out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, symbol))
            symbol_of[m[1]] = m[2];
        else if (std::regex_search(line, m, value))
            value_of[m[1]] = m[2];
    }
    std::map<std::string, std::string> controls;
    for (const auto &[node, name] : symbol_of)
        controls[name] = value_of[node];
    ASSERT_EQ(controls.size(), std::size(kControls));

    const std::string in = input(44100);
    EXPECT_EQ(differences(lv2apply(in, controls), lv2apply_rule(korva(in, {}, preset))), 0u);
}

}  // namespace

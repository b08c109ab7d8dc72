// The engine's rules for values outside the ranges the window offers hold
// whichever way the values arrive: written straight into the record, loaded
// from a preset (in this machine's byte order and in the other one), read
// from the player's configuration file, or given to `korva process --set`.
//
// The rules:
//   - a GainTable index below 0 counts as 0, above 512 as 512;
//   - a chain_index outside 0..5 runs the default order, row 0;
//   - a 3D Surround mode above 4 runs 4 passes;
//   - a sample rate of 0 or below is processed as 44100 Hz;
//   - flags and mode choices are on for any value but 0, except extSpace,
//     which runs only in modes 1 and 2.
// Each case compares the output of an out-of-range block with the output of
// the in-range block the rule names, and first shows that the in-range value
// matters at all (it changes the output against a neighbouring value), so an
// equality can never pass because the field is ignored.
#include "engine/korva.h"
#include "engine/param_fields.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"
#include "tests/support/scratch.h"
#include "tests/support/stage_settings.h"
#include "tests/support/stereo_signal.h"
#include "preset_file/preset_file.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 3000;
constexpr int kRate = 44100;

const KorvaParamField &field(const char *name)
{
    const KorvaParamField *f = korva_param_field_find(name);
    if (f == nullptr)
        throw std::runtime_error(std::string("no field ") + name);
    return *f;
}

KorvaParams with(KorvaParams p, const char *name, int32_t value)
{
    korva_param_set(&p, &field(name), value);
    return p;
}

std::vector<int16_t> run(const KorvaParams &p, int32_t rate = kRate)
{
    KorvaEngine *e = korva_new();
    if (e == nullptr)
        throw std::bad_alloc();
    korva_params_write(e, &p);
    e->sample_rate = rate;
    const std::vector<int16_t> in = korva_test::stereo_signal(kFrames, 7);
    std::vector<int16_t> out(in.size());
    korva_process(e, in.data(), out.data(), kFrames);
    korva_delete(e);
    return out;
}

// One rule applied to one field: `raw` must behave as `equivalent`, and
// `equivalent` must differ from `neighbour` (the field matters).
struct Case {
    const char *name;
    int32_t raw;
    int32_t equivalent;
    int32_t neighbour;
};

// The 16 GainTable indices. Above 512 behaves as 512 for every one of them;
// below 0 behaves as 0 where 0 does not also switch the stage off.
const char *const kGainFields[] = {
    "preamp", "superbass", "dewoofer", "fidelity", "_3dsurround_depth", "_3dsurround_bass",
    "extfx_space", "extfx_center", "vs_overdrive", "vs_intensity", "spc_debass", "spc_detube",
    "spc_mid", "spc_high", "bw_value", "bw_sigpreamp",
};
bool zero_switches_off(const std::string &name)
{
    return name == "superbass" || name == "dewoofer" || name == "fidelity" || name == "vs_intensity";
}

std::vector<Case> all_cases()
{
    std::vector<Case> cases;
    for (const char *name : kGainFields) {
        cases.push_back({name, 513, 512, 256});
        cases.push_back({name, INT_MAX, 512, 256});
        if (!zero_switches_off(name)) {
            cases.push_back({name, -1, 0, 256});
            cases.push_back({name, INT_MIN, 0, 256});
        }
    }
    for (const int32_t raw : {6, 7, 32767, -1, -32768})
        cases.push_back({"chain_index", raw, 0, 2});
    for (const int32_t raw : {5, 100, 32767})
        cases.push_back({"_3dsurround_mode", raw, 4, 3});
    // Switches and modes: any value other than 0 is on; extSpace knows only
    // modes 1 and 2 and is off for any other.
    for (const int32_t raw : {3, -1, 32767, -32768})
        cases.push_back({"extspace_mode", raw, 0, 1});
    for (const char *name : {"extfx_mode", "vs_mode", "spc_mode", "bw_mode"})
        for (const int32_t raw : {-1, 7, 32767})
            cases.push_back({name, raw, 1, 0});
    for (const char *name : {"enable_global", "enable_3dsurround", "enable_extspace", "enable_extfx", "enable_vs",
                             "enable_bw", "spc_phaseinvert", "spc_swapstereo"})
        for (const int32_t raw : {-128, -1, 2, 127})
            cases.push_back({name, raw, 1, 0});
    return cases;
}

std::string describe(const Case &c)
{
    return std::string(c.name) + "=" + std::to_string(c.raw) + " as " + std::to_string(c.equivalent);
}

class OutOfRange : public ::testing::Test {
protected:
    std::string file(const std::string &name) const { return dir.file(name); }

    // Checks every case: the block that arrives through `path` from `p`
    // processes exactly as the in-range block.
    void check_all(const std::function<KorvaParams(const KorvaParams &)> &path)
    {
        const KorvaParams base = korva_test::stages_far_from_defaults();
        for (const Case &c : all_cases()) {
            SCOPED_TRACE(describe(c));
            const std::vector<int16_t> expected = run(with(base, c.name, c.equivalent));
            ASSERT_NE(expected, run(with(base, c.name, c.neighbour))) << "the field does not change the output";
            const KorvaParams arrived = path(with(base, c.name, c.raw));
            // The raw value is kept as it arrived; only its use is bounded.
            EXPECT_EQ(korva_param_get(&arrived, &field(c.name)), c.raw);
            EXPECT_EQ(run(arrived), expected);
        }
    }

    korva_test::ScratchDir dir;
};

TEST_F(OutOfRange, WrittenStraightIntoTheRecord)
{
    check_all([](const KorvaParams &p) { return p; });
}

TEST_F(OutOfRange, SampleRatesOfZeroOrBelowRunAs44100)
{
    const KorvaParams p = korva_test::stages_far_from_defaults();
    const std::vector<int16_t> expected = run(p, 44100);
    ASSERT_NE(expected, run(p, 48000));
    for (const int32_t rate : {0, -1, -44100, INT_MIN}) {
        SCOPED_TRACE(rate);
        EXPECT_EQ(run(p, rate), expected);
    }
}

TEST_F(OutOfRange, NegativeSurroundModesRunNoPass)
{
    // Not one of the stated rules, but a safe result: no pass, the same
    // output as 3D Surround switched off.
    const KorvaParams base = korva_test::stages_far_from_defaults();
    const std::vector<int16_t> off = run(with(base, "_3dsurround_mode", 0));
    ASSERT_NE(off, run(with(base, "_3dsurround_mode", 1)));
    for (const int32_t raw : {-1, -4, -32768})
        EXPECT_EQ(run(with(base, "_3dsurround_mode", raw)), off) << raw;
}

TEST_F(OutOfRange, LoadedFromAPresetInThisMachinesByteOrder)
{
    const std::string path = file("p.kp");
    check_all([&](const KorvaParams &p) {
        KorvaEngine *writer = korva_new();
        korva_params_write(writer, &p);
        EXPECT_EQ(korva_save(writer, path.c_str()), 1);
        korva_delete(writer);
        KorvaEngine *reader = korva_new();
        EXPECT_EQ(korva_load(reader, path.c_str()), 1);
        KorvaParams loaded;
        korva_params_read(reader, &loaded);
        korva_delete(reader);
        return loaded;
    });
}

TEST_F(OutOfRange, LoadedFromAPresetInTheOtherByteOrder)
{
    const std::string path = file("swapped.kp");
    const bool little = [] {
        const uint16_t probe = 1;
        unsigned char first;
        std::memcpy(&first, &probe, 1);
        return first == 1;
    }();
    check_all([&](const KorvaParams &p) {
        KorvaParams swapped = p;
        korva_patch_endian(&swapped);
        int32_t length = KORVA_PARAMS_SIZE;
        patchendian(&length, 4);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write("KORVA551", 8);
        out.write(little ? "BE" : "LE", 2);
        out.write(reinterpret_cast<const char *>(&length), 4);
        out.write(reinterpret_cast<const char *>(&swapped), sizeof swapped);
        out.close();
        KorvaParams loaded;
        EXPECT_EQ(korva_read_preset(path.c_str(), &loaded), 1);
        return loaded;
    });
}

TEST_F(OutOfRange, ReadFromThePlayersConfigurationFile)
{
    const std::string path = file("config");
    setenv("XMMS_CONFIG_FILE", path.c_str(), 1);
    check_all([&](const KorvaParams &p) {
        std::ofstream out(path, std::ios::trunc);
        out << "[xmkorva-5]\n";
        for (const KorvaParamField &f : korva_param_fields)
            out << "xmkorva_" << f.name << "=" << korva_param_get(&p, &f) << "\n";
        out.close();
        korva = korva_new();
        EXPECT_EQ(cfg_retrieve(), 1);
        KorvaParams read;
        korva_params_read(korva, &read);
        korva_delete(korva);
        korva = nullptr;
        return read;
    });
    unsetenv("XMMS_CONFIG_FILE");
}

#ifdef KORVA_BIN
void write_wav(const std::string &path, const std::vector<int16_t> &samples)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE *f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_short(f, samples.data(), kFrames), kFrames);
    sf_close(f);
}

std::vector<int16_t> read_wav(const std::string &path)
{
    SF_INFO info{};
    SNDFILE *f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr)
        return {};
    std::vector<int16_t> samples(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_short(f, samples.data(), info.frames);
    sf_close(f);
    return samples;
}

TEST_F(OutOfRange, GivenToKorvaProcessSet)
{
    const std::string in = file("in.wav");
    const std::string out = file("out.wav");
    write_wav(in, korva_test::stereo_signal(kFrames, 7));
    const KorvaParams base = korva_test::stages_far_from_defaults();
    std::string base_args;
    for (const KorvaParamField &f : korva_param_fields)
        base_args += std::string(" --set ") + f.name + "=" + std::to_string(korva_param_get(&base, &f));

    for (const Case &c : all_cases()) {
        SCOPED_TRACE(describe(c));
        const std::string command = std::string(KORVA_BIN) + " process '" + in + "' '" + out + "' --quiet" +
                                    base_args + " --set " + c.name + "=" + std::to_string(c.raw);
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        EXPECT_EQ(read_wav(out), run(with(base, c.name, c.equivalent)));
    }
}

TEST_F(OutOfRange, SetValuesWiderThanTheFieldAreTruncatedFirst)
{
    // 65542 stores 6 in the 16-bit chain_index (row 0 then); 65541 stores 5.
    const std::string in = file("in.wav");
    const std::string out = file("out.wav");
    write_wav(in, korva_test::stereo_signal(kFrames, 7));
    const KorvaParams base = korva_test::stages_far_from_defaults();
    struct Wide {
        const char *name;
        int32_t given;
        int32_t stored;
    };
    for (const Wide &w : {Wide{"chain_index", 65542, 0}, Wide{"chain_index", 65541, 5},
                          Wide{"_3dsurround_mode", 65541, 4}, Wide{"_3dsurround_mode", 131075, 3}}) {
        SCOPED_TRACE(std::string(w.name) + "=" + std::to_string(w.given));
        std::string command = std::string(KORVA_BIN) + " process '" + in + "' '" + out + "' --quiet";
        for (const KorvaParamField &f : korva_param_fields)
            command += std::string(" --set ") + f.name + "=" + std::to_string(korva_param_get(&base, &f));
        command += std::string(" --set ") + w.name + "=" + std::to_string(w.given);
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        EXPECT_EQ(read_wav(out), run(with(base, w.name, w.stored)));
    }
}
#endif

}  // namespace

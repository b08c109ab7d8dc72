// The engine's output for fixed settings, pinned by SHA-256 in
// engine_outputs.sha256 beside this file. The other exactness tests compare
// the engine with a model built from the same tree with the same flags; these
// hashes were taken once and catch what such a comparison cannot: a constant
// edited in both, a change of compiler flags, a compiler or library that
// rounds differently.
//
// The input is made with integer arithmetic only (no libm, no floating
// point), so it is the same bytes on every machine and compiler; the output
// is hashed as 16-bit little-endian samples, left first.
//
//   golden_test                  checks every case against the file
//   golden_test --regenerate     rewrites the file from this build
#include "engine/korva.h"
#include "tests/support/field_values.h"
#include "preset_file/preset_file.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

using korva_test::with_fields;

constexpr int32_t kRates[] = {11025, 22050, 44100};

// --- Input ----------------------------------------------------------------

// sin(pi * p / 2^31) by the parabola 4t(1 - |t|), t = p / 2^31, scaled to
// +-32768: close enough to a sine for a test tone, exact in integers.
int32_t parabola(uint32_t phase)
{
    const int64_t s = static_cast<int32_t>(phase) >> 16;  // -32768..32767
    return static_cast<int32_t>((s * (32768 - (s < 0 ? -s : s))) >> 13);
}

// Phase step of `hz` at `rate` on a 2^32 circle.
uint32_t step(uint32_t hz, int32_t rate)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(hz) << 32) / static_cast<uint64_t>(rate));
}

// One second of stereo at `rate`: bass, mid and high tones, white noise and a
// decaying drum hit every quarter second, the channels differing; then 50 ms
// of full-scale square wave (both clip limits and -32768) and 250 ms of
// digital silence in which every filter and ring decays.
std::vector<int16_t> input(int32_t rate)
{
    const int32_t frames = rate;
    const int32_t square_from = frames * 7 / 10, silence_from = square_from + rate / 20;
    std::vector<int16_t> out(2 * static_cast<size_t>(frames));
    uint32_t p1 = 0, p2 = 0, p3 = 0, noise = 0x9e3779b9u;
    int32_t drum = 0;
    for (int32_t n = 0; n < frames; ++n) {
        p1 += step(55, rate);
        p2 += step(440, rate);
        p3 += step(3100, rate);
        noise ^= noise << 13;  // xorshift32
        noise ^= noise >> 17;
        noise ^= noise << 5;
        const int32_t white = static_cast<int32_t>(noise >> 16) - 32768;
        drum = n % (rate / 4) == 0 ? 16384 : drum - (drum >> 7);
        const int32_t hit = (drum * (white >> 2)) >> 14;
        int32_t l = (parabola(p1) * 9 + parabola(p2) * 6 + parabola(p3) * 2) / 32 + white / 40 + hit;
        int32_t r = (parabola(p1 + 0x20000000u) * 9 + parabola(p2 + p2 / 100) * 6 - parabola(p3) * 2) / 32 -
                    white / 40 - hit;
        if (n >= silence_from) {
            l = r = 0;
        } else if (n >= square_from) {
            l = (n / 37) % 2 ? 32767 : -32768;
            r = -l - 1;
        }
        out[2 * n] = static_cast<int16_t>(l);
        out[2 * n + 1] = static_cast<int16_t>(r);
    }
    return out;
}

// --- Cases ----------------------------------------------------------------

// The defaults with the effects the defaults switch on turned off, so a case
// that switches one stage on hears that stage alone.
KorvaParams quiet()
{
    KorvaParams p;
    korva_default_params(&p);
    using P = KorvaParams;
    return with_fields(p, {{&P::dewoofer, 0}, {&P::fidelity, 0}, {&P::enable_3dsurround, 0}});
}

// The setting of the golden case "every_stage_on" (its name is part of the
// golden file); not the same block as the tests' stages_far_from_defaults or
// the benchmarks' bench_every_stage_on.
KorvaParams golden_stages_on()
{
    KorvaParams p;
    korva_default_params(&p);
    using P = KorvaParams;
    return with_fields(p, {{&P::chain_index, 3}, {&P::superbass, 128}, {&P::enable_3dsurround, 1},
                           {&P::enable_extspace, 1}, {&P::enable_extfx, 1}, {&P::enable_vs, 1}, {&P::enable_bw, 1},
                           {&P::_3dsurround_mode, 2}, {&P::extspace_mode, 2}, {&P::spc_mode, 1}, {&P::bw_fq, 7000},
                           {&P::spc_phaseinvert, 1}, {&P::spc_swapstereo, 1}});
}

struct Case {
    std::string name;
    KorvaParams params;
    bool via_preset;  // saved to a preset file and loaded into a fresh engine first
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    KorvaParams p;
    korva_default_params(&p);
    all.push_back({"defaults", p, false});
    all.push_back({"every_stage_on", golden_stages_on(), false});
    for (int passes = 1; passes <= 4; ++passes) {  // 4 only a file or the record can set
        p = quiet();
        p.preamp = 64;  // each pass raises the channel difference about 2.5 times
        p.enable_3dsurround = 1;
        p._3dsurround_mode = static_cast<int16_t>(passes);
        all.push_back({"surround_passes_" + std::to_string(passes), p, false});
    }
    for (int mode : {1, 2}) {
        p = quiet();
        p.enable_extspace = 1;
        p.extspace_mode = static_cast<int16_t>(mode);
        all.push_back({mode == 1 ? "extspace_active" : "extspace_wide", p, false});
    }
    for (int fq : {15000, 7000, 3600, 2000}) {
        p = quiet();
        p.enable_bw = 1;
        p.bw_fq = fq;
        all.push_back({"brainwave_" + std::to_string(fq), p, false});
    }
    for (int chain = 0; chain < 6; ++chain) {
        p = quiet();
        p.enable_3dsurround = p.enable_extspace = p.enable_extfx = 1;
        p.chain_index = static_cast<int16_t>(chain);
        all.push_back({"chain_" + std::string(ChainTable[chain]), p, false});
    }
    p = quiet();
    p.enable_vs = 1;
    p.vs_intensity = 256;
    all.push_back({"subwoofer_full_intensity", p, false});
    p.vs_overdrive = 256;
    all.push_back({"subwoofer_full_intensity_and_overdrive", p, false});
    p = quiet();
    p.spc_mode = 1;
    p.spc_debass = p.spc_detube = p.spc_mid = p.spc_high = 256;
    all.push_back({"speaker_tuning_full", p, false});
    // Settings no other case uses, padding bytes included, through a file.
    p = golden_stages_on();
    p.preamp = 24;
    p.chain_index = 5;
    p._3dsurround_mode = 3;
    p._3dsurround_depth = 200;
    p.extspace_mode = 1;
    p.extfx_space = 160;
    p.extfx_center = 30;
    p.vs_overdrive = 220;
    p.bw_mode = 2;
    p.bw_value = 102;
    p.bw_fq = 2000;
    p.bw_sigpreamp = 200;
    p.pad_1 = p.pad_25 = 0x5a;
    p.pad_50 = p.pad_82 = 0x1234;
    all.push_back({"preset_round_trip", p, true});
    return all;
}

// --- Running and hashing ---------------------------------------------------

// Saves `params` to a fresh temporary file and loads it into `engine`.
bool load_through_file(const KorvaParams &params, KorvaEngine *engine)
{
    char path[] = "/tmp/korva-golden-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return false;
    ::close(fd);
    KorvaEngine *writer = korva_new();
    bool ok = writer != nullptr;
    if (ok) {
        writer->params = params;
        ok = korva_save(writer, path) == 1 && korva_load(engine, path) == 1;
    }
    korva_delete(writer);
    ::unlink(path);
    return ok;
}

// SHA-256 (lower-case hex) of the output for one case at one rate, processed
// in blocks of 1000 frames the way a player hands them over; empty when the
// engine cannot be set up.
std::string output_hash(const Case &c, int32_t rate)
{
    KorvaEngine *engine = korva_new();
    if (engine == nullptr)
        return {};
    engine->sample_rate = rate;  // a load must keep it
    if (!c.via_preset)
        engine->params = c.params;
    else if (!load_through_file(c.params, engine)) {
        korva_delete(engine);
        return {};
    }
    std::vector<int16_t> audio = input(rate);
    const int32_t frames = static_cast<int32_t>(audio.size() / 2);
    for (int32_t at = 0; at < frames; at += 1000) {
        const int32_t count = frames - at < 1000 ? frames - at : 1000;
        korva_process(engine, audio.data() + 2 * at, audio.data() + 2 * at, count);
    }
    korva_delete(engine);

    std::vector<guchar> bytes;
    bytes.reserve(2 * audio.size());
    for (int16_t s : audio) {
        const auto u = static_cast<uint16_t>(s);
        bytes.push_back(static_cast<guchar>(u & 0xff));
        bytes.push_back(static_cast<guchar>(u >> 8));
    }
    GChecksum *sum = g_checksum_new(G_CHECKSUM_SHA256);
    g_checksum_update(sum, bytes.data(), static_cast<gssize>(bytes.size()));
    std::string hex = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return hex;
}

constexpr std::string_view kHeader =
    "# SHA-256 of the engine's output for the generated input of golden_test.cpp\n"
    "# (16-bit little-endian samples, left first): one line per case and rate.\n"
    "# Regenerate only after a deliberate change of the output, and say why in\n"
    "# the commit:\n"
    "#   cmake --build build --target golden_test\n"
    "#   build/tests/golden/golden_test --regenerate\n";

using Table = std::map<std::pair<std::string, int32_t>, std::string>;

Table read_table(const char *path)
{
    Table table;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name, hash;
        int32_t rate = 0;
        fields >> name >> rate >> hash;
        table[{name, rate}] = hash;
    }
    return table;
}

// Computes every line first and replaces the file only when all ran and the
// new text is fully written, so a failure leaves the old file as it was.
int regenerate(const std::string &path)
{
    std::ostringstream text;
    text << kHeader;
    for (const Case &c : cases())
        for (int32_t rate : kRates) {
            const std::string hash = output_hash(c, rate);
            if (hash.empty()) {
                std::fprintf(stderr, "golden_test: case %s could not be run\n", c.name.c_str());
                return 1;
            }
            text << c.name << ' ' << rate << ' ' << hash << '\n';
        }
    const std::string temporary = path + ".new";
    std::ofstream file(temporary, std::ios::trunc);
    file << text.str();
    file.close();
    if (!file || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "golden_test: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("wrote %s\n", path.c_str());
    return 0;
}

TEST(Golden, EveryCaseAtEveryRateMatchesItsHash)
{
    const Table expected = read_table(KORVA_GOLDEN_FILE);
    const std::vector<Case> all = cases();
    ASSERT_EQ(expected.size(), all.size() * std::size(kRates)) << "lines in " << KORVA_GOLDEN_FILE;
    for (const Case &c : all)
        for (int32_t rate : kRates) {
            const auto line = expected.find({c.name, rate});
            const std::string want = line == expected.end() ? "(no line)" : line->second;
            std::string got = output_hash(c, rate);
            if (got.empty())
                got = "(not run: no engine, or the preset save or load failed)";
            if (got != want)
                ADD_FAILURE() << c.name << ' ' << rate << ": file " << want << ", output " << got;
        }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--regenerate")
        return regenerate(KORVA_GOLDEN_FILE);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// korva preset save/show, and --preset / --config as sources of parameters.
#include "cli_harness.h"

#include "engine/param_fields.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <algorithm>

namespace {

// A 110-byte preset built by hand in big-endian order, with preamp 300 and
// chain_index 2, every other field at its default.
std::string big_endian_preset()
{
    KorvaParams params = params_with({"preamp=300", "chain_index=2"});
    std::string block(reinterpret_cast<const char *>(&params), sizeof params);
    for (const KorvaParamField &field : korva_param_fields)
        std::reverse(block.begin() + field.offset, block.begin() + field.offset + field.width);
    return std::string("KORVA551") + "BE" + std::string("\0\0\0\x60", 4) + block;
}

std::string fields_of(const KorvaParams &params)
{
    std::string text;
    for (const KorvaParamField &field : korva_param_fields)
        text += std::string(field.name) + "=" + std::to_string(korva_param_get(&params, &field)) + "\n";
    return text;
}

TEST(CliPreset, SaveThenShowGivesEveryFieldBack)
{
    ScratchDir dir;
    const std::vector<std::string> sets{"preamp=300", "bw_fq=7000", "extspace_mode=65538", "enable_extfx=300",
                                        "spc_mode=-1"};
    std::vector<std::string> args{"preset", "save", dir.file("p.kp")};
    for (const std::string &set : sets) {
        args.push_back("--set");
        args.push_back(set);
    }
    const RunResult save = run_korva(args);
    ASSERT_EQ(save.exit_code, 0) << save.err;
    EXPECT_EQ(std::filesystem::file_size(dir.file("p.kp")), 110u);

    const RunResult show = run_korva({"preset", "show", dir.file("p.kp")});
    ASSERT_EQ(show.exit_code, 0) << show.err;
    EXPECT_EQ(show.out, "preset: file " + dir.file("p.kp") + "\nbyte order: LE (little-endian), this machine's\n" +
                            fields_of(params_with(sets)));
    // Truncated to the field widths, as the configuration file stores them.
    EXPECT_NE(show.out.find("\nextspace_mode=2\n"), std::string::npos);
    EXPECT_NE(show.out.find("\nenable_extfx=44\n"), std::string::npos);
    EXPECT_NE(show.out.find("\nspc_mode=-1\n"), std::string::npos);
}

TEST(CliPreset, ShowReadsTheOtherByteOrderAndIgnoresTrailingBytes)
{
    ScratchDir dir;
    write_file(dir.file("be.kp"), big_endian_preset() + "trailing");
    const RunResult show = run_korva({"preset", "show", dir.file("be.kp")});
    ASSERT_EQ(show.exit_code, 0) << show.err;
    EXPECT_NE(show.out.find("BE (big-endian), swapped on loading"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("8 bytes after"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find(fields_of(params_with({"preamp=300", "chain_index=2"}))), std::string::npos) << show.out;
}

TEST(CliPreset, ShowExplainsWhyAFileIsNotAPreset)
{
    ScratchDir dir;
    const std::string good = big_endian_preset();
    std::string wrong_length = good;
    wrong_length[13] = 95;
    std::string unknown_marker = good;
    unknown_marker[8] = 'X';   // read as the other order: the big-endian length still reads 96
    std::string native_marker_big_length = good;
    native_marker_big_length[8] = 'L';

    const std::vector<std::pair<std::string, std::string>> cases{
        {good.substr(0, 109), "too short: 109 bytes"},
        {good.substr(0, 5), "too short: 5 bytes"},
        {"KORVA550" + good.substr(8), "KORVA550"},
        {wrong_length, "bad payload length 95"},
        {native_marker_big_length, "bad payload length 1610612736"},
        {"", "too short: 0 bytes"},
    };
    for (const auto &[bytes, reason] : cases) {
        SCOPED_TRACE(reason);
        write_file(dir.file("bad.kp"), bytes);
        const RunResult show = run_korva({"preset", "show", dir.file("bad.kp")});
        EXPECT_NE(show.exit_code, 0);
        EXPECT_NE(show.err.find("bad.kp"), std::string::npos) << show.err;
        EXPECT_NE(show.err.find(reason), std::string::npos) << show.err;
        EXPECT_EQ(show.out, "");
    }

    write_file(dir.file("odd.kp"), unknown_marker);
    const RunResult odd = run_korva({"preset", "show", dir.file("odd.kp")});
    EXPECT_EQ(odd.exit_code, 0) << odd.err;
    EXPECT_NE(odd.out.find("unknown marker"), std::string::npos) << odd.out;
    EXPECT_NE(odd.out.find("\npreamp=300\n"), std::string::npos) << odd.out;

    const RunResult absent = run_korva({"preset", "show", dir.file("absent.kp")});
    EXPECT_NE(absent.exit_code, 0);
    EXPECT_NE(absent.err.find("cannot open: No such file"), std::string::npos) << absent.err;
    const RunResult directory = run_korva({"preset", "show", dir.path.string()});
    EXPECT_NE(directory.exit_code, 0);
    EXPECT_NE(directory.err.find("not a regular file"), std::string::npos) << directory.err;
}

TEST(CliPreset, PresetFeedsProcessingAndSetOverridesIt)
{
    ScratchDir dir;
    const Audio input = make_signal(5000, 2, 44100);
    write_audio(dir.file("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(run_korva({"preset", "save", dir.file("p.kp"), "--set", "enable_global=0", "--set", "preamp=300"})
                  .exit_code, 0);

    ASSERT_EQ(run_korva({"process", dir.file("in.wav"), dir.file("a.wav"), "-q", "--preset", dir.file("p.kp")})
                  .exit_code, 0);
    EXPECT_EQ(read_audio(dir.file("a.wav")).samples,
              process_directly(params_with({"enable_global=0", "preamp=300"}), 44100, input.samples));

    ASSERT_EQ(run_korva({"process", dir.file("in.wav"), dir.file("b.wav"), "-q", "--set", "preamp=256",
                         "--preset", dir.file("p.kp")}).exit_code, 0);
    EXPECT_EQ(read_audio(dir.file("b.wav")).samples, input.samples);

    write_file(dir.file("junk.kp"), "KORVA550");
    const RunResult bad = run_korva({"process", dir.file("in.wav"), dir.file("c.wav"), "--preset", dir.file("junk.kp")});
    EXPECT_NE(bad.exit_code, 0);
    EXPECT_NE(bad.err.find("junk.kp"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.wav")));
}

TEST(CliPreset, AFailedSaveKeepsTheOldPresetAndCreatesNothing)
{
    ScratchDir dir;
    ASSERT_EQ(run_korva({"preset", "save", dir.file("p.kp"), "--set", "preamp=200"}).exit_code, 0);
    const std::string before = read_file(dir.file("p.kp"));

    EXPECT_NE(run_korva({"preset", "save", dir.file("p.kp"), "--set", "preamp=lots"}).exit_code, 0);
    EXPECT_NE(run_korva({"preset", "save", dir.file("p.kp"), "--preset", dir.file("absent.kp")}).exit_code, 0);
    const RunResult no_dir = run_korva({"preset", "save", dir.file("nowhere/p.kp")});
    EXPECT_NE(no_dir.exit_code, 0);
    EXPECT_NE(no_dir.err.find("nowhere/p.kp"), std::string::npos) << no_dir.err;

    const RunResult device = run_korva({"preset", "save", "/dev/null"});
    EXPECT_NE(device.exit_code, 0);
    EXPECT_NE(device.err.find("not a regular file"), std::string::npos) << device.err;

    EXPECT_EQ(read_file(dir.file("p.kp")), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"p.kp"});
}

TEST(CliConfig, ConfigComesFirstThenPresetThenSet)
{
    ScratchDir dir;
    write_file(dir.file("config"), "[other]\nxmkorva_bw_fq=1\n\n[xmkorva-5]\nxmkorva_preamp=200\n"
                                    "xmkorva_bw_fq=7000\nxmkorva_enable_extfx=256\nxmkorva_chain_index=4\n");
    ASSERT_EQ(run_korva({"preset", "save", dir.file("p.kp"), "--set", "chain_index=5"}).exit_code, 0);

    const RunResult from_config = run_korva({"preset", "save", dir.file("c.kp"), "--config", dir.file("config")});
    ASSERT_EQ(from_config.exit_code, 0) << from_config.err;
    EXPECT_EQ(run_korva({"preset", "show", dir.file("c.kp")}).out,
              "preset: file " + dir.file("c.kp") + "\nbyte order: LE (little-endian), this machine's\n" +
                  fields_of(params_with({"preamp=200", "bw_fq=7000", "enable_extfx=0", "chain_index=4"})));

    ASSERT_EQ(run_korva({"preset", "save", dir.file("all.kp"), "--set", "preamp=100", "--config", dir.file("config"),
                         "--preset", dir.file("p.kp")}).exit_code, 0);
    // The preset replaces the whole block read from the configuration; --set comes last.
    EXPECT_EQ(run_korva({"preset", "show", dir.file("all.kp")}).out,
              "preset: file " + dir.file("all.kp") + "\nbyte order: LE (little-endian), this machine's\n" +
                  fields_of(params_with({"chain_index=5", "preamp=100"})));

    const RunResult missing = run_korva({"preset", "save", dir.file("m.kp"), "--config", dir.file("absent")});
    EXPECT_NE(missing.exit_code, 0);
    EXPECT_NE(missing.err.find("absent"), std::string::npos) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.kp")));
}

} // namespace

// A korva whose factory index (../share/korva/presets/index.txt beside its
// program) is empty, damaged or hand-written: `preset list` says what is
// wrong with it and fails, and lines names up by characters, a very long
// one padding nothing.
TEST(CliPreset, TheFactoryIndexIsReadWithAClearErrorAndListedByCharacters)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.path / "bin");
    std::filesystem::create_directories(dir.path / "share/korva/presets");
    const std::string korva = dir.file("bin/korva");
    std::filesystem::copy_file(KORVA_BIN, korva);
    const std::string index = dir.file("share/korva/presets/index.txt");
    for (const auto &[text, message] : std::vector<std::pair<std::string, std::string>>{
             {"", "index.txt: names no preset"},
             {"# only a comment\n\n", "index.txt: names no preset"},
             {"flat.kp\tFlat\tok\nx.kp\tE\x1b[2J\tclears the screen\n", "index.txt: line 2: a control character"}}) {
        write_file(index, text);
        const RunResult list = korva_test::run_captured({korva, "preset", "list"});
        EXPECT_EQ(list.exit_code, 1);
        EXPECT_EQ(list.out, "");
        EXPECT_NE(list.err.find(message), std::string::npos) << list.err;
    }
    const std::string long_name(10000, 'n');
    write_file(index, "a.kp\t\xc3\xa9t\xc3\xa9\tshort\nb.kp\t" + long_name + "\tlong\n");
    const RunResult list = korva_test::run_captured({korva, "preset", "list"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out, "\xc3\xa9t\xc3\xa9" + std::string(57 + 2, ' ') + "short\n" + long_name + "  long\n");
}

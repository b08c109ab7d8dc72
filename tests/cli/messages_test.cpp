// What korva says about input it cannot use, and the exit status it ends
// with: every message names the user's mistake in their terms, and usage
// errors end with 2.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <unistd.h>

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

bool has(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CliMessages, StandardInputThatIsTheOutputIsRefused)
{
    ScratchDir dir;
    const std::string input = dir.file("a.wav");
    write_audio(input, make_signal(2000, 2, 44100), wav16);
    const std::string bytes = read_file(input);
    ASSERT_EQ(link(input.c_str(), dir.file("hard.wav").c_str()), 0);

    for (const std::string &out : {input, dir.file("hard.wav")}) {
        const RunResult run = run_korva({"process", "-", out, "-q"}, input);
        EXPECT_EQ(run.exit_code, 2) << run.err;
        EXPECT_TRUE(has(run.err, "standard input")) << run.err;
        EXPECT_TRUE(read_file(input) == bytes) << "the input was changed";
    }
    // The batch form: standard input mapped onto the file it reads.
    std::filesystem::copy_file(input, dir.file("-.wav"));
    const RunResult onto_itself = run_korva({"process", "--out-dir", dir.path.string(), "--format", "wav", "-",
                                             "--overwrite", "-q"}, dir.file("-.wav"));
    EXPECT_EQ(onto_itself.exit_code, 2) << onto_itself.err;
    EXPECT_TRUE(read_file(dir.file("-.wav")) == bytes) << "the input was changed";

    // A different file on standard input is processed as before.
    const RunResult other = run_korva({"process", "-", dir.file("b.wav"), "-q"}, input);
    EXPECT_EQ(other.exit_code, 0) << other.err;
    EXPECT_EQ(read_audio(dir.file("b.wav")).frames(), 2000);
}

TEST(CliMessages, SuffixAndFormatAreNamesNotPaths)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.file("top/out"));
    write_audio(dir.file("top/a.wav"), make_signal(500, 2, 44100), wav16);
    const std::string out = dir.file("top/out");
    for (const std::vector<std::string> &naming : {std::vector<std::string>{"--suffix", "/../../x"},
                                                    {"--suffix", "x/y"},
                                                    {"--format", "/../../wav"},
                                                    {"--format", ""}}) {
        std::vector<std::string> args{"process", "--out-dir", out, dir.file("top/a.wav"), "-q"};
        args.insert(args.end(), naming.begin(), naming.end());
        const RunResult run = run_korva(args);
        EXPECT_EQ(run.exit_code, 2) << naming[0] << " " << naming[1] << ": " << run.err;
        EXPECT_TRUE(has(run.err, naming[0])) << run.err;
    }
    // An empty --out-dir (an unset variable) is not the one-file form: the
    // second input is never taken for an output.
    write_audio(dir.file("top/b.wav"), make_signal(500, 2, 44100), wav16);
    const std::string second = read_file(dir.file("top/b.wav"));
    const RunResult no_dir = run_korva({"process", "--out-dir", "", dir.file("top/a.wav"), dir.file("top/b.wav")});
    EXPECT_EQ(no_dir.exit_code, 2) << no_dir.err;
    EXPECT_TRUE(read_file(dir.file("top/b.wav")) == second) << "an input was overwritten";
    std::filesystem::remove(dir.file("top/b.wav"));

    EXPECT_EQ(list_directory(dir.path.string()), (std::vector<std::string>{"top"}));
    EXPECT_EQ(list_directory(dir.file("top")), (std::vector<std::string>{"a.wav", "out"}));
    EXPECT_TRUE(list_directory(out).empty());
}

TEST(CliMessages, UsageErrorsExitWithTwo)
{
    ScratchDir dir;
    const std::string input = dir.file("a.wav");
    write_audio(input, make_signal(500, 2, 44100), wav16);
    const std::vector<std::vector<std::string>> usage_errors{
        {"process", input, dir.file("b.wav"), "--set", "preamp=loud"},
        {"process", input, dir.file("b.wav"), "--set", "nosuchfield=1"},
        {"process", input, input},
        {"process", input, dir.file("b.xyz")},
        {"bogus"},
        {"preset", "bogus"},
    };
    for (const std::vector<std::string> &args : usage_errors) {
        const RunResult run = run_korva(args);
        EXPECT_EQ(run.exit_code, 2) << args[0] << " " << args[1] << ": " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_TRUE(list_directory(dir.path.string()) == std::vector<std::string>{"a.wav"});

    const RunResult bogus = run_korva({"bogus"});
    EXPECT_TRUE(has(bogus.err, "unknown subcommand 'bogus'")) << bogus.err;
    EXPECT_TRUE(has(bogus.err, "process, demo, preset")) << bogus.err;
    const RunResult preset = run_korva({"preset", "bogus"});
    EXPECT_TRUE(has(preset.err, "show, list, save, export-lv2")) << preset.err;
}

TEST(CliMessages, ConfigWithoutTheSectionIsReported)
{
    ScratchDir dir;
    const std::string input = dir.file("a.wav");
    write_audio(input, make_signal(500, 2, 44100), wav16);
    write_file(dir.file("empty"), "");
    write_file(dir.file("binary"), std::string("\x7f" "ELF\0\x01\xff[\x80\x00=\n\xfe", 14));
    write_file(dir.file("audacious"), "[audacious]\nshuffle=FALSE\n\n[korva]\nsuperbass=200\n");
    write_file(dir.file("player"), "[xmms]\nvolume=80\n\n[xmkorva-5]\nxmkorva_superbass=200\n");

    for (const char *name : {"empty", "binary", "audacious"}) {
        const RunResult run = run_korva({"process", input, dir.file(std::string("out-") + name + ".wav"),
                                         "--config", dir.file(std::string(name)), "-q"});
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_TRUE(has(run.err, "warning")) << name << ": " << run.err;
        EXPECT_TRUE(has(run.err, "xmkorva-5")) << name << ": " << run.err;
        EXPECT_EQ(has(run.err, "Audacious"), name == std::string("audacious")) << run.err;
    }
    const RunResult good = run_korva({"process", input, dir.file("out.wav"), "--config", dir.file("player"), "-q"});
    EXPECT_EQ(good.exit_code, 0) << good.err;
    EXPECT_EQ(good.err, "");
}

TEST(CliMessages, FailuresAreNamedInTheUsersTerms)
{
    ScratchDir dir;
    const std::string input = dir.file("a.wav");
    write_audio(input, make_signal(20000, 2, 44100), wav16);
    write_file(dir.file("empty"), "");

    const RunResult to_stdout = run_korva({"process", input, "-"});
    EXPECT_EQ(to_stdout.exit_code, 2);
    EXPECT_TRUE(has(to_stdout.err, "standard output")) << to_stdout.err;

    const RunResult empty = run_korva({"process", "-", dir.file("b.wav")}, dir.file("empty"));
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_TRUE(has(empty.err, "standard input")) << empty.err;
    EXPECT_TRUE(has(empty.err, "empty")) << empty.err;
    EXPECT_FALSE(has(empty.err, "No such file")) << empty.err;

    // A full disk under an encoder: the library's own texts for "no error
    // code" never reach the user.
    ASSERT_EQ(symlink("/dev/full", dir.file("full.ogg").c_str()), 0);
    const RunResult full = run_korva({"process", input, dir.file("full.ogg"), "-q"});
    EXPECT_EQ(full.exit_code, 1);
    EXPECT_TRUE(has(full.err, "full.ogg")) << full.err;
    for (const char *leak : {"bug in libsndfile", "Not a valid error number"})
        EXPECT_FALSE(has(full.err + full.out, leak)) << full.err << full.out;
}

TEST(CliMessages, HelpGivesFieldRangesAndStandardInput)
{
    const RunResult help = run_korva({"process", "--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char *part : {"enable_global 0..1", "chain_index 0..5", "preamp 0..384", "superbass 0..256",
                                    "bw_fq 2000..15000", "(8 bits)", "- reads standard input"})
        EXPECT_TRUE(has(help.out, part)) << part << "\n" << help.out;
    // Each footer paragraph stands apart, so the manual page keeps them apart.
    for (const char *start : {"\nFields", "\nOutput types", "\nExit status"})
        EXPECT_TRUE(has(help.out, std::string("\n") + start)) << start << "\n" << help.out;
    EXPECT_TRUE(has(help.out, "unknown output type")) << help.out;
}

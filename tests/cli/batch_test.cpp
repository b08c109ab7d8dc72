// korva process --out-dir: many files on worker threads, the tree mirrored,
// outputs equal to one-file runs, refusals before anything is processed,
// failures isolated, interruption, and the exit statuses.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
constexpr int flac16 = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;

// Every file under a directory, relative to it, sorted.
std::vector<std::string> tree(const fs::path &root)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            names.push_back(fs::relative(entry.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

// The table row that names a file.
std::string row_of(const std::string &table, const std::string &name)
{
    const auto at = table.find(name);
    if (at == std::string::npos)
        return {};
    const auto start = table.rfind('\n', at);
    return table.substr(start == std::string::npos ? 0 : start + 1, table.find('\n', at) - (start + 1));
}

// A small library: nested folders, spaces and non-ASCII names, two rates,
// mono, a hidden file, a cover picture and a broken file.
struct Library {
    ScratchDir dir;
    fs::path root = dir.path / "Music";

    Library()
    {
        fs::create_directories(root / "Artist One" / "First Album");
        fs::create_directories(root / "Bäñd" / "Ålbum");
        fs::create_directories(root / ".cache");
        write_audio((root / "Artist One" / "First Album" / "01 Intro.wav").string(), make_signal(5000, 2, 44100), wav16);
        write_audio((root / "Artist One" / "First Album" / "02 Song.flac").string(), make_signal(7000, 2, 44100, 20000, 2),
                    flac16);
        write_audio((root / "Bäñd" / "Ålbum" / "sång.wav").string(), make_signal(6000, 1, 22050, 20000, 3), wav16);
        write_audio((root / ".cache" / "hidden.wav").string(), make_signal(100, 2, 44100), wav16);
        write_file((root / "Bäñd" / "Ålbum" / "broken.mp3").string(), "not an mp3 at all");
        write_file((root / "Artist One" / "cover.jpg").string(), "picture");
    }
};

TEST(CliBatch, MirrorsTheTreeReportsEveryFileAndOneFailureDoesNotStopTheOthers)
{
    Library lib;
    const fs::path out = lib.dir.path / "out";
    const RunResult run = run_korva({"process", "--out-dir", out.string(), "--recursive", lib.root.string(), "-j", "2"});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(tree(out), (std::vector<std::string>{"Artist One/First Album/01 Intro.wav",
                                                   "Artist One/First Album/02 Song.flac", "Bäñd/Ålbum/sång.wav"}));
    EXPECT_NE(run.err.find("broken.mp3: cannot read"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 of 4 files failed"), std::string::npos) << run.err;

    // The table: a header and one row per file, failures marked.
    EXPECT_NE(run.out.find("file"), std::string::npos);
    EXPECT_NE(row_of(run.out, "broken.mp3").find(" FAILED "), std::string::npos) << run.out;
    for (const char *name : {"01 Intro.wav", "02 Song.flac", "sång.wav"})
        EXPECT_NE(row_of(run.out, name).find(" ok "), std::string::npos) << name << "\n" << run.out;
    EXPECT_NE(row_of(run.out, "sång.wav").find(" 0.3 s "), std::string::npos) << run.out;   // 6000 frames at 22050 Hz

    // A single file gives the same bytes.
    const RunResult single = run_korva({"process", (lib.root / "Bäñd" / "Ålbum" / "sång.wav").string(),
                                        lib.dir.file("single.wav"), "-q"});
    ASSERT_EQ(single.exit_code, 0) << single.err;
    EXPECT_EQ(read_file((out / "Bäñd" / "Ålbum" / "sång.wav").string()), read_file(lib.dir.file("single.wav")));

    // Without --recursive a directory is a failed item, not a silent skip.
    const RunResult flat = run_korva({"process", "--out-dir", lib.dir.file("flat"), lib.root.string()});
    EXPECT_EQ(flat.exit_code, 1);
    EXPECT_NE(flat.err.find("--recursive"), std::string::npos) << flat.err;
}

TEST(CliBatch, EveryOutputEqualsAOneFileRun)
{
    Library lib;
    const std::vector<fs::path> inputs{lib.root / "Artist One" / "First Album" / "01 Intro.wav",
                                       lib.root / "Artist One" / "First Album" / "02 Song.flac",
                                       lib.root / "Bäñd" / "Ålbum" / "sång.wav"};
    // Lossless outputs byte for byte; Ogg and MP3 by their decoded audio
    // (Ogg streams carry a random serial number).
    for (const char *format : {"", "flac", "aiff", "ogg", "opus", "mp3"}) {
        const bool lossless = std::string(format).empty() || std::string(format) == "flac" ||
                              std::string(format) == "aiff";
        std::vector<std::string> singles;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const std::string extension = *format ? std::string(".") + format : inputs[i].extension().string();
            singles.push_back(lib.dir.file("single" + std::to_string(i) + extension));
            ASSERT_EQ(run_korva({"process", inputs[i].string(), singles.back(), "-q", "--set", "superbass=90"}).exit_code, 0);
        }
        for (const char *jobs : {"1", "4"}) {
            SCOPED_TRACE(std::string(format) + " -j " + jobs);
            const fs::path out = lib.dir.path / ("out" + std::string(format) + jobs);
            std::vector<std::string> args{"process", "-q", "--out-dir", out.string(), "-j", jobs, "--set", "superbass=90"};
            if (*format)
                args.insert(args.end(), {"--format", format});
            for (const fs::path &input : inputs)
                args.push_back(input.string());
            const RunResult run = run_korva(args);
            ASSERT_EQ(run.exit_code, 0) << run.err;
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                const std::string batch = (out / (inputs[i].stem().string() + fs::path(singles[i]).extension().string())).string();
                if (lossless)
                    EXPECT_EQ(read_file(batch), read_file(singles[i])) << batch;
                else
                    EXPECT_EQ(read_audio(batch).samples, read_audio(singles[i]).samples) << batch;
            }
        }
    }
}

TEST(CliBatch, ClashesAndOutputsOverInputsAreRefusedBeforeAnythingIsWritten)
{
    ScratchDir dir;
    fs::create_directories(dir.path / "a");
    fs::create_directories(dir.path / "b");
    write_audio(dir.file("a/x.wav"), make_signal(1000, 2, 44100), wav16);
    write_audio(dir.file("b/x.wav"), make_signal(1000, 2, 44100), wav16);
    write_audio(dir.file("a/x.flac"), make_signal(1000, 2, 44100), flac16);
    const std::string original = read_file(dir.file("a/x.flac"));

    const RunResult clash = run_korva({"process", "--out-dir", dir.file("out"), dir.file("a/x.wav"), dir.file("b/x.wav")});
    EXPECT_EQ(clash.exit_code, 2);
    EXPECT_NE(clash.err.find("a/x.wav and " + dir.file("b/x.wav")), std::string::npos) << clash.err;
    EXPECT_FALSE(fs::exists(dir.file("out")));

    // Into the input's own folder: x.wav as FLAC would be the input x.flac.
    const RunResult over = run_korva({"process", "--out-dir", dir.file("a"), "--format", "flac", dir.file("a/x.wav"),
                                      dir.file("a/x.flac")});
    EXPECT_EQ(over.exit_code, 2);
    EXPECT_NE(over.err.find("refusing to write over an input"), std::string::npos) << over.err;
    EXPECT_EQ(read_file(dir.file("a/x.flac")), original);

    // A suffix keeps them apart; an existing output is kept unless --overwrite.
    const std::vector<std::string> args{"process", "-q", "--out-dir", dir.file("a"), "--suffix", " (korva)",
                                        dir.file("a/x.wav")};
    ASSERT_EQ(run_korva(args).exit_code, 0);
    write_file(dir.file("a/x (korva).wav"), "mine");
    const RunResult kept = run_korva(args);
    EXPECT_EQ(kept.exit_code, 0);
    EXPECT_EQ(read_file(dir.file("a/x (korva).wav")), "mine");
    std::vector<std::string> overwrite = args;
    overwrite.push_back("--overwrite");
    EXPECT_EQ(run_korva(overwrite).exit_code, 0);
    EXPECT_EQ(read_audio(dir.file("a/x (korva).wav")).frames(), 1000);
    EXPECT_EQ(list_directory(dir.path / "a"), (std::vector<std::string>{"x (korva).wav", "x.flac", "x.wav"}));
}

TEST(CliBatch, AnUnwritableOutputDirectoryFailsEveryFileAndLeavesNothing)
{
    ScratchDir dir;
    write_audio(dir.file("one.wav"), make_signal(1000, 2, 44100), wav16);
    write_audio(dir.file("two.wav"), make_signal(1000, 2, 44100), wav16);
    fs::create_directories(dir.path / "locked");
    chmod(dir.path.c_str(), 0755);
    chmod(dir.file("locked").c_str(), 0555);

    // root writes anywhere: the run then drops to an unprivileged user.
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execl(KORVA_BIN, KORVA_BIN, "process", "--out-dir", dir.file("locked").c_str(), dir.file("one.wav").c_str(),
              dir.file("two.wav").c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(list_directory(dir.path / "locked").empty());
    chmod(dir.file("locked").c_str(), 0755);
}

// A file cut short (as by a copy still running, or truncated mid-batch) is
// written as far as it goes, named in the table and on stderr, and the batch
// ends with status 3; a failure elsewhere would make it 1.
TEST(CliBatch, AnInputCutShortIsWrittenAndReportedWithStatusThree)
{
    ScratchDir dir;
    fs::create_directories(dir.path / "in");
    write_audio(dir.file("in/whole.wav"), make_signal(9000, 2, 44100), wav16);
    write_audio(dir.file("in/cut.wav"), make_signal(9000, 2, 44100), wav16);
    fs::resize_file(dir.file("in/cut.wav"), fs::file_size(dir.file("in/cut.wav")) / 2);

    const RunResult run = run_korva({"process", "--out-dir", dir.file("out"), dir.file("in/whole.wav"), dir.file("in/cut.wav")});
    EXPECT_EQ(run.exit_code, 3) << run.err;
    EXPECT_NE(row_of(run.out, "cut.wav").find("cut short"), std::string::npos) << run.out;
    EXPECT_NE(row_of(run.out, "whole.wav").find("ok"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("of 9000 frames read"), std::string::npos) << run.err;
    EXPECT_EQ(read_audio(dir.file("out/whole.wav")).frames(), 9000);
    EXPECT_LT(read_audio(dir.file("out/cut.wav")).frames(), 4600);
}

TEST(CliBatch, AnInterruptStopsEveryWorkerAndLeavesNoPartialFile)
{
    ScratchDir dir;
    const int frames = 30 * 44100;
    for (int i = 0; i < 4; ++i)
        write_audio(dir.file("in" + std::to_string(i) + ".wav"), make_signal(frames, 2, 44100, 20000, i + 1), wav16);
    const fs::path out = dir.path / "out";

    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execl(KORVA_BIN, KORVA_BIN, "process", "--out-dir", out.c_str(), "--format", "mp3", "-j", "2",
              dir.file("in0.wav").c_str(), dir.file("in1.wav").c_str(), dir.file("in2.wav").c_str(),
              dir.file("in3.wav").c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // Wait for two temporary outputs, both workers busy, then interrupt.
    int temporaries = 0;
    for (int i = 0; i < 2000 && temporaries < 2; ++i) {
        temporaries = 0;
        if (fs::exists(out))
            for (const std::string &name : list_directory(out))
                temporaries += name.find(".korva-") != std::string::npos;
        if (temporaries < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(temporaries, 2);
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);

    // Whatever was finished is whole; nothing else is there.
    for (const std::string &name : list_directory(out)) {
        EXPECT_EQ(name.find(".korva-"), std::string::npos) << name;
        EXPECT_EQ(read_audio((out / name).string()).frames(), frames) << name;
    }
    EXPECT_LT(list_directory(out).size(), 4u);
}

TEST(CliExit, UsageErrorsGiveTwoFailuresOneHelpAndVersionZero)
{
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(1000, 2, 44100), wav16);
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{}, 2},
        {{"process"}, 2},
        {{"process", dir.file("in.wav")}, 2},
        {{"process", "--no-such-option", dir.file("in.wav"), dir.file("o.wav")}, 2},
        {{"process", "-j", "2", dir.file("in.wav"), dir.file("o.wav")}, 2},   // -j needs --out-dir
        {{"process", "--out-dir", dir.file("o"), "--format", "mp9", dir.file("in.wav")}, 2},
        {{"process", "--out-dir", dir.file("o"), "-j", "0", dir.file("in.wav")}, 2},
        {{"preset"}, 2},
        {{"--help"}, 0},
        {{"process", "--help"}, 0},
        {{"--version"}, 0},
        {{"process", dir.file("missing.wav"), dir.file("o.wav")}, 1},
    };
    for (const auto &[args, code] : cases) {
        std::string joined;
        for (const std::string &arg : args)
            joined += arg + " ";
        EXPECT_EQ(run_korva(args).exit_code, code) << joined;
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
}

} // namespace

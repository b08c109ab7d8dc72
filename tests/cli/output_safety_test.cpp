// korva process never overwrites its input, never leaves a partial output,
// never replaces a device node, and cleans up when interrupted.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

struct Fixture {
    ScratchDir dir;
    std::string input = dir.file("in.wav");
    std::string input_bytes;

    Fixture()
    {
        write_audio(input, make_signal(3000, 2, 44100), wav16);
        input_bytes = read_file(input);
    }
};

TEST(CliOutputSafety, RefusesToWriteOverTheInputUnderAnyName)
{
    Fixture f;
    ASSERT_EQ(symlink(f.input.c_str(), f.dir.file("link.wav").c_str()), 0);
    ASSERT_EQ(link(f.input.c_str(), f.dir.file("hard.wav").c_str()), 0);

    for (const std::string &out : {f.input, f.dir.path.string() + "/./in.wav", f.dir.path.string() + "/../" +
                                   f.dir.path.filename().string() + "/in.wav", f.dir.file("link.wav"),
                                   f.dir.file("hard.wav")}) {
        SCOPED_TRACE(out);
        const RunResult run = run_korva({"process", f.input, out, "-q"});
        EXPECT_NE(run.exit_code, 0);
        EXPECT_NE(run.err.find("input"), std::string::npos) << run.err;
        EXPECT_EQ(read_file(f.input), f.input_bytes);
    }
    struct stat status {};
    ASSERT_EQ(lstat(f.dir.file("link.wav").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(f.dir.entries(), (std::vector<std::string>{"hard.wav", "in.wav", "link.wav"}));
}

TEST(CliOutputSafety, AFailedRunLeavesNoFileAndKeepsAnExistingOutput)
{
    Fixture f;
    write_file(f.dir.file("noise.wav"), "this is not audio at all, just text");
    write_file(f.dir.file("keep.wav"), "previous contents");

    struct Case {
        std::string input;
        std::string output;
        std::string named;   // the file the message must name
    };
    const std::vector<Case> cases{
        {f.input, f.dir.file("missing-dir/out.wav"), "missing-dir/out.wav"},
        {f.dir.file("noise.wav"), f.dir.file("out.wav"), "noise.wav"},
        {f.dir.file("absent.wav"), f.dir.file("out.wav"), "absent.wav"},
        {f.dir.path.string(), f.dir.file("out.wav"), f.dir.path.string()},
        {f.dir.file("noise.wav"), f.dir.file("keep.wav"), "noise.wav"},
        {f.input, f.dir.path.string() + "/", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input + " -> " + c.output);
        const RunResult run = run_korva({"process", c.input, c.output});
        EXPECT_NE(run.exit_code, 0);
        EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(f.dir.entries(), (std::vector<std::string>{"in.wav", "keep.wav", "noise.wav"}));
    EXPECT_EQ(read_file(f.dir.file("keep.wav")), "previous contents");
}

TEST(CliOutputSafety, ReplacesAnExistingOutputKeepingItsModeAndOwner)
{
    Fixture f;
    write_file(f.dir.file("out.wav"), "old");
    ASSERT_EQ(chmod(f.dir.file("out.wav").c_str(), 0640), 0);
    // Giving the file away needs root; the owner is checked only then.
    const bool owner_changed = chown(f.dir.file("out.wav").c_str(), 4321, 4321) == 0;
    ASSERT_EQ(run_korva({"process", f.input, f.dir.file("out.wav"), "-q"}).exit_code, 0);
    EXPECT_EQ(read_audio(f.dir.file("out.wav")).frames(), 3000);
    struct stat status {};
    ASSERT_EQ(stat(f.dir.file("out.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    if (owner_changed) {
        EXPECT_EQ(status.st_uid, 4321u);
        EXPECT_EQ(status.st_gid, 4321u);
    }
    EXPECT_EQ(f.dir.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST(CliOutputSafety, WritesThroughASymbolicLinkToAnotherFile)
{
    Fixture f;
    write_file(f.dir.file("target.wav"), "old");
    ASSERT_EQ(symlink("target.wav", f.dir.file("alias.wav").c_str()), 0);
    ASSERT_EQ(run_korva({"process", f.input, f.dir.file("alias.wav"), "-q"}).exit_code, 0);
    struct stat status {};
    ASSERT_EQ(lstat(f.dir.file("alias.wav").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(read_audio(f.dir.file("target.wav")).frames(), 3000);
}

TEST(CliOutputSafety, DevNullIsWrittenDirectlyAndStaysADevice)
{
    Fixture f;
    struct stat before {};
    ASSERT_EQ(stat("/dev/null", &before), 0);
    ASSERT_TRUE(S_ISCHR(before.st_mode));

    const RunResult run = run_korva({"process", f.input, "/dev/null"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("3000"), std::string::npos) << run.out;

    struct stat after {};
    ASSERT_EQ(stat("/dev/null", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST(CliOutputSafety, AWriteErrorIsReported)
{
    Fixture f;
    const RunResult run = run_korva({"process", f.input, "/dev/full"});
    EXPECT_NE(run.exit_code, 0);
    EXPECT_NE(run.err.find("/dev/full"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left"), std::string::npos) << run.err;
    struct stat status {};
    ASSERT_EQ(stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

// A full file system, for every output format: the run fails and the old
// output stays. libsndfile's MP3 writer reports failed writes as done and
// sf_close drops the failure of its last flush, so only korva's own I/O
// sees them; the same holds for a link to /dev/full.
TEST(CliOutputSafety, AFullDiskFailsEveryFormatAndKeepsTheOldOutput)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    ScratchDir dir;
    write_audio(dir.file("in.wav"), make_signal(3 * 48000, 2, 48000), wav16);
    for (const char *name : {"out.mp3", "out.wav", "out.flac", "out.ogg", "out.opus"}) {
        SCOPED_TRACE(name);
        const std::string old = std::string("old ") + name;
        write_file(fs.file(name), old);
        const RunResult run = run_korva({"process", dir.file("in.wav"), fs.file(name), "-q", "--quality", "10"});
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_NE(run.err.find("No space left"), std::string::npos) << run.err;
        EXPECT_EQ(read_file(fs.file(name)), old);
    }
    EXPECT_EQ(fs.dir.entries(), (std::vector<std::string>{"out.flac", "out.mp3", "out.ogg", "out.opus", "out.wav"}));

    ASSERT_EQ(symlink("/dev/full", dir.file("full.mp3").c_str()), 0);
    const RunResult run = run_korva({"process", dir.file("in.wav"), dir.file("full.mp3"), "-q"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("No space left"), std::string::npos) << run.err;
}

// The input is a FIFO fed by a thread; korva is stopped by signals while its
// temporary output exists. With `stall` the feeder sends a header and a few
// blocks and then nothing: korva sits in a read that libsndfile restarts
// after a signal, so only the second signal can end it.
void expect_interruption_cleans_up(int signal_number, bool stall)
{
    std::signal(SIGPIPE, SIG_IGN);
    ScratchDir dir;
    write_audio(dir.file("source.wav"), make_signal(400000, 2, 44100), wav16);
    const std::string wav = read_file(dir.file("source.wav"));
    std::filesystem::remove(dir.file("source.wav"));
    const std::string input = dir.file("feed.wav");
    const std::string output = dir.file("out.wav");
    ASSERT_EQ(mkfifo(input.c_str(), 0600), 0);

    // Non-blocking, so the feeder can never hang the test whatever korva does.
    std::atomic<bool> release{false};
    std::thread feeder([&] {
        int fd = -1;
        while (!release && fd < 0) {
            fd = open(input.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const std::size_t limit = stall ? 100000 : wav.size();
        std::size_t sent = 0;
        while (!release && sent < limit) {
            const ssize_t n = write(fd, wav.data() + sent, std::min<std::size_t>(16384, limit - sent));
            if (n > 0)
                sent += static_cast<std::size_t>(n);
            std::this_thread::sleep_for(std::chrono::milliseconds(stall ? 1 : 10));
        }
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (fd >= 0)
            close(fd);
    });

    const std::string korva = KORVA_BIN;
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execl(korva.c_str(), korva.c_str(), "process", input.c_str(), output.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);

    // The temporary output appears after the handlers are installed.
    bool temporary_seen = false;
    for (int i = 0; i < 2000 && !temporary_seen; ++i) {
        for (const std::string &name : dir.entries())
            temporary_seen = temporary_seen || name.find(".korva-") != std::string::npos;
        if (!temporary_seen)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(temporary_seen);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(child, signal_number);
    if (stall) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(child, signal_number);
    }

    int status = 0;
    pid_t waited = 0;
    for (int i = 0; i < 1000 && waited == 0; ++i) {
        waited = waitpid(child, &status, WNOHANG);
        if (waited == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waited == 0) {
        ADD_FAILURE() << "korva did not stop after the signal";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    release = true;
    feeder.join();

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"feed.wav"});
}

TEST(CliOutputSafety, InterruptionRemovesTheTemporaryOutput)
{
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        expect_interruption_cleans_up(signal_number, false);
    }
}

TEST(CliOutputSafety, ASecondSignalEndsARunStuckOnAStalledInput)
{
    expect_interruption_cleans_up(SIGINT, true);
}

} // namespace

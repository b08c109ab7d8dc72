// The one rule for every file the programs write, as a table: each output
// against each kind of target, each cell run through the real program.
// Streams (audio, --csv, --png, korva-host --output) write a FIFO or a device
// directly; stored state (presets, profiles, the sink's fragment) refuses
// them at once. Every failure keeps what was there.
#include "cli_harness.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

enum class Target { missing, regular, read_only, live_link, dangling_link, directory, fifo, device, the_input };

const char *target_name(Target t)
{
    constexpr const char *names[] = {"missing", "regular", "read-only", "live link", "dangling link",
                                     "directory", "FIFO", "device", "the input"};
    return names[static_cast<int>(t)];
}

struct Writer {
    const char *name;
    bool stream;
    const char *file;   // the output's name under the scratch folder
    std::vector<std::string> (*command)(const std::string &output, const std::string &input);
};

// Old content every writer reads as its own kind of file: a comment.
const std::string kOld = "# old content\n";

std::vector<std::string> korva(std::vector<std::string> args)
{
    args.insert(args.begin(), KORVA_BIN);
    return args;
}

const Writer kWriters[] = {
    {"process", true, "out.wav", [](const std::string &o, const std::string &i) {
         return korva({"process", "-q", i, o});
     }},
    {"response --csv", true, "r.csv", [](const std::string &o, const std::string &) {
         return korva({"response", "-q", "--csv", o});
     }},
    {"response --png", true, "r.png", [](const std::string &o, const std::string &) {
         return korva({"response", "-q", "--png", o});
     }},
#ifdef KORVA_HOST_BIN
    {"korva-host --output", true, "h.wav", [](const std::string &o, const std::string &i) {
         return std::vector<std::string>{KORVA_HOST_BIN, "--output", o, i};
     }},
#endif
    {"preset save", false, "p.kp", [](const std::string &o, const std::string &i) {
         // With the output as input too: --preset reads it before save replaces it.
         return korva(o == i ? std::vector<std::string>{"preset", "save", o, "--preset", i}
                             : std::vector<std::string>{"preset", "save", o, "--set", "superbass=3"});
     }},
    {"sink profile set", false, "config/korva/sink-profiles", [](const std::string &, const std::string &) {
         return korva({"sink", "profile", "set", "spk", "Flat"});
     }},
    {"sink install", false, "config/pipewire/pipewire.conf.d/korva-sink.conf",
     [](const std::string &, const std::string &) { return korva({"sink", "install"}); }},
};

// Makes the target; for the_input the output is the command's input.
void make_target(Target t, const std::string &path, const std::string &input)
{
    fs::create_directories(fs::path(path).parent_path());
    switch (t) {
    case Target::missing: break;
    case Target::regular: write_file(path, kOld); break;
    case Target::read_only: write_file(path, kOld); chmod(path.c_str(), 0444); break;
    case Target::live_link: write_file(path + ".real", kOld); fs::create_symlink(path + ".real", path); break;
    case Target::dangling_link: fs::create_symlink(path + ".gone", path); break;
    case Target::directory: fs::create_directory(path); break;
    case Target::fifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
    case Target::device: fs::create_symlink("/dev/null", path); break;
    case Target::the_input: fs::copy_file(input, path); break;
    }
}

// Runs the command while a reader (for a FIFO) takes what it writes.
RunResult run_against(const std::vector<std::string> &command, Target t, const std::string &path,
                      const std::map<std::string, std::string> &env, std::string &read_back)
{
    std::atomic<bool> done{false};
    std::thread reader;
    if (t == Target::fifo)
        reader = std::thread([&] {
            // Non-blocking, so a writer that refuses the FIFO never hangs the test.
            const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
            char block[65536];
            for (;;) {
                const ssize_t n = read(fd, block, sizeof block);
                if (n > 0)
                    read_back.append(block, static_cast<std::size_t>(n));
                else if (n == 0 && done)
                    break;
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            close(fd);
        });
    std::vector<std::string> bounded{"timeout", "30"};
    bounded.insert(bounded.end(), command.begin(), command.end());
    const RunResult run = korva_test::run_captured(bounded, env);
    done = true;
    if (reader.joinable())
        reader.join();
    return run;
}

TEST(OutputRule, EveryOutputAgainstEveryKindOfTarget)
{
    const bool root = geteuid() == 0;
    for (const Writer &w : kWriters)
        for (const Target t : {Target::missing, Target::regular, Target::read_only, Target::live_link,
                               Target::dangling_link, Target::directory, Target::fifo, Target::device,
                               Target::the_input}) {
            const bool takes_input = std::string(w.name) == "process" || std::string(w.name) == "preset save" ||
                                     std::string(w.name) == "korva-host --output";
            if (t == Target::the_input && !takes_input)
                continue;
            SCOPED_TRACE(std::string(w.name) + " into a " + target_name(t));
            ScratchDir dir;
            const std::string input = dir.file(std::string(w.name) == "preset save" ? "in.kp" : "in.wav");
            if (std::string(w.name) == "preset save")
                ASSERT_EQ(run_korva({"preset", "save", input}).exit_code, 0);
            else
                write_audio(input, make_signal(4410, 2, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
            const std::string path = dir.file(w.file);
            make_target(t, path, input);
            const std::map<std::string, std::string> env{
                {"HOME", dir.path.string()}, {"XDG_CONFIG_HOME", dir.file("config")},
                {"XDG_RUNTIME_DIR", dir.file("config")}, {"KORVA_LADSPA_PLUGIN", KORVA_BUILT_PLUGIN},
                {"DBUS_SESSION_BUS_ADDRESS", ""}};
            std::string read_back;
            const RunResult run =
                run_against(w.command(path, t == Target::the_input ? path : input), t, path, env, read_back);
            const std::string now = fs::is_regular_file(path) ? read_file(path) : "";

            const bool refused = t == Target::directory || (t == Target::read_only && !root) ||
                                 (!w.stream && (t == Target::fifo || t == Target::device)) ||
                                 (t == Target::the_input && std::string(w.name) != "preset save");
            if (refused) {
                EXPECT_NE(run.exit_code, 0) << run.err;
                EXPECT_NE(run.exit_code, 124) << "a refusal must not wait";
                if (t == Target::the_input) {
                    EXPECT_EQ(run.exit_code, std::string(w.name) == "process" ? 2 : 1) << run.err;
                }
                if (t == Target::regular || t == Target::read_only) {
                    EXPECT_EQ(now, kOld);
                }
                EXPECT_EQ(fs::is_directory(path), t == Target::directory);
                EXPECT_EQ(fs::is_fifo(path), t == Target::fifo);
                continue;
            }
            ASSERT_EQ(run.exit_code, 0) << run.err;
            switch (t) {
            case Target::fifo:
                EXPECT_FALSE(read_back.empty()) << "the reader gets the whole output";
                EXPECT_TRUE(fs::is_fifo(path));
                break;
            case Target::device:
                EXPECT_TRUE(fs::is_symlink(path));
                break;
            case Target::live_link:
                EXPECT_TRUE(fs::is_symlink(path)) << "the link stays";
                EXPECT_NE(read_file(path + ".real"), kOld) << "the file it names is replaced";
                break;
            case Target::dangling_link:
                EXPECT_FALSE(fs::is_symlink(path)) << "replaced by a regular file";
                EXPECT_FALSE(now.empty());
                break;
            default:
                EXPECT_FALSE(now.empty());
                EXPECT_NE(now, kOld);
            }
            // Nothing is left beside the output.
            const std::string temporary = "." + fs::path(path).filename().string() + ".korva-";
            for (const std::string &name : list_directory(fs::path(path).parent_path().string()))
                EXPECT_NE(name.rfind(temporary, 0), 0u) << name;
        }
}

// A FIFO's content arrives in one open: the whole output, once.
TEST(OutputRule, AFifoGetsTheWholeOutputInOneOpen)
{
    ScratchDir dir;
    ASSERT_EQ(run_korva({"response", "-q", "--csv", dir.file("whole.csv")}).exit_code, 0);
    ASSERT_EQ(mkfifo(dir.file("fifo.csv").c_str(), 0600), 0);
    std::string read_back;
    const RunResult run =
        run_against(korva({"response", "-q", "--csv", dir.file("fifo.csv")}), Target::fifo, dir.file("fifo.csv"), {},
                    read_back);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read_back, read_file(dir.file("whole.csv")));

    // A streamed WAV reads back as the file would.
    write_audio(dir.file("in.wav"), make_signal(4410, 2, 44100), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(run_korva({"process", "-q", dir.file("in.wav"), dir.file("file.wav")}).exit_code, 0);
    ASSERT_EQ(mkfifo(dir.file("fifo.wav").c_str(), 0600), 0);
    const RunResult streamed = run_against(korva({"process", "-q", dir.file("in.wav"), dir.file("fifo.wav")}),
                                           Target::fifo, dir.file("fifo.wav"), {}, read_back = "");
    ASSERT_EQ(streamed.exit_code, 0) << streamed.err;
    write_file(dir.file("streamed.wav"), read_back);
    EXPECT_EQ(read_audio(dir.file("streamed.wav")).samples, read_audio(dir.file("file.wav")).samples);
    // Formats whose header is written last are refused before the FIFO opens.
    ASSERT_EQ(mkfifo(dir.file("fifo.aiff").c_str(), 0600), 0);
    const RunResult aiff = run_against(korva({"process", "-q", dir.file("in.wav"), dir.file("fifo.aiff")}),
                                       Target::fifo, dir.file("fifo.aiff"), {}, read_back = "");
    EXPECT_EQ(aiff.exit_code, 2) << aiff.err;
    EXPECT_NE(aiff.err.find("cannot go into a FIFO"), std::string::npos) << aiff.err;
}

// Two outputs of one command naming one file, by any names: a usage error
// before anything is written.
TEST(OutputRule, TwoOutputsNamingOneFileAreAUsageError)
{
    ScratchDir dir;
    write_file(dir.file("exists"), kOld);
    fs::create_symlink(dir.file("exists"), dir.file("alias"));
    fs::create_directory(dir.path / "sub");
    for (const auto &[png, csv] : {std::pair{dir.file("x"), dir.file("x")}, {dir.file("x"), dir.file("sub/../x")},
                                  {dir.file("exists"), dir.file("alias")}}) {
        SCOPED_TRACE(png + " " + csv);
        const RunResult run = run_korva({"response", "-q", "--png", png, "--csv", csv});
        EXPECT_EQ(run.exit_code, 2) << run.err;
        EXPECT_NE(run.err.find("name one file"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir.file("x")));
        EXPECT_EQ(read_file(dir.file("exists")), kOld);
    }
}

// A FIFO with no reader yet: the program waits, as other tools do, and a
// signal ends the wait promptly with the usual message.
TEST(OutputRule, ASignalEndsTheWaitForAFifosReader)
{
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.file("nobody.csv").c_str(), 0600), 0);
    const std::string err = dir.file("err");
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        execl(KORVA_BIN, KORVA_BIN, "response", "-q", "--csv", dir.file("nobody.csv").c_str(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(child, SIGINT);
    int status = 0;
    pid_t waited = 0;
    for (int i = 0; i < 200 && waited == 0; ++i) {
        waited = waitpid(child, &status, WNOHANG);
        if (waited == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waited == 0) {
        ADD_FAILURE() << "still waiting 2 s after SIGINT";
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_NE(read_file(err).find("interrupted by Interrupt; no output written"), std::string::npos) << read_file(err);
}

} // namespace

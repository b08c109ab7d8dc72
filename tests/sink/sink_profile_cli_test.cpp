// korva sink profile set/remove/list without PipeWire: what the profiles
// file holds, presets checked whole before they are named, and a file edited
// by hand into a shape the reader cannot follow never written over.
#include "tests/cli/cli_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct ProfileHome {
    ScratchDir dir;
    std::string file;
    ProfileHome()
    {
        setenv("HOME", dir.path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.file("runtime").c_str(), 1);
        unsetenv("PIPEWIRE_REMOTE");
        file = dir.file("config/korva/sink-profiles");
    }
};

} // namespace

TEST(SinkProfileCli, SetRemoveListAndFallback)
{
    ProfileHome home;
    const std::string preset = home.dir.file("mine.kp");
    ASSERT_EQ(run_korva({"preset", "save", preset, "--set", "superbass=9"}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "alsa_output.x:[Out] Headphones", "late NIGHT"}).out,
              "alsa_output.x:[Out] Headphones: Late night (factory preset)\n");
    EXPECT_EQ(run_korva({"sink", "profile", "set", "spk", preset}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "spk", "Flat"}).exit_code, 0);   // replaces
    EXPECT_EQ(run_korva({"sink", "profile", "set", "hp", preset}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "--fallback", "Headphones"}).exit_code, 0);
    EXPECT_EQ(read_file(home.file).substr(read_file(home.file).find("\nprofile") + 1),
              "profile \"alsa_output.x:[Out] Headphones\" \"Late night\"\nprofile \"spk\" \"Flat\"\n"
              "profile \"hp\" \"" + preset + "\"\nfallback \"Headphones\"\n");

    // A preset that cannot be applied is refused and changes nothing.
    const std::string before = read_file(home.file);
    const RunResult missing = run_korva({"sink", "profile", "set", "spk", home.dir.file("gone.kp")});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.err.find("gone.kp: cannot load preset"), std::string::npos) << missing.err;
    EXPECT_EQ(run_korva({"sink", "profile", "set", "spk"}).exit_code, 2);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "--fallback", "Flat", "spk", "Flat"}).exit_code, 2);
    EXPECT_EQ(read_file(home.file), before);

    // The list says why a preset gone since cannot be applied.
    write_file(preset, "damaged");
    const RunResult list = run_korva({"sink", "profile", "list"});
    EXPECT_EQ(list.exit_code, 0);
    EXPECT_NE(list.out.find("hp                              " + preset + "  (cannot be applied: " + preset +
                            ": cannot load preset"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\nfallback                        Headphones\n"), std::string::npos) << list.out;

    EXPECT_EQ(run_korva({"sink", "profile", "remove", "hp"}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "remove", "--fallback"}).exit_code, 0);
    const RunResult again = run_korva({"sink", "profile", "remove", "hp"});
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_EQ(again.out, "there was no profile for hp: nothing changed\n");
    EXPECT_EQ(read_file(home.file).find("hp"), std::string::npos);
    EXPECT_EQ(read_file(home.file).find("\nfallback \""), std::string::npos);
}

TEST(SinkProfileCli, AFileEditedIntoAnUnreadableShapeIsReportedWithItsLineAndKept)
{
    ProfileHome home;
    ASSERT_EQ(run_korva({"sink", "profile", "set", "spk", "Flat"}).exit_code, 0);
    const std::string edited = read_file(home.file) + "profile spk Flat\n";
    write_file(home.file, edited);
    const int line = static_cast<int>(std::count(edited.begin(), edited.end(), '\n'));
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"sink", "profile", "set", "hp", "Flat"}, {"sink", "profile", "list"}}) {
        const RunResult run = run_korva(args);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_NE(run.err.find(home.file + ":" + std::to_string(line) + ": not a profile line"), std::string::npos)
            << run.err;
    }
    EXPECT_EQ(read_file(home.file), edited);
}

namespace {

// The line of `text` that starts with `start`; empty when none does.
std::string line_starting(const std::string &text, const std::string &start)
{
    const auto at = ("\n" + text).find("\n" + start);
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
}

}  // namespace

// A preset argument is resolved when it is saved, by the working folder
// `set` runs in; what the file keeps is read alike from any folder: a bare
// name is the factory preset even where a file of that name lies (follow
// reads it through the same rule), and a relative path is refused.
TEST(SinkProfileCli, APresetIsResolvedWhenSavedAndABareNameIsAlwaysTheFactorys)
{
    ProfileHome home;
    const std::string here = std::filesystem::current_path();
    ASSERT_EQ(chdir(home.dir.path.c_str()), 0);
    write_file("Flat", "not a preset");   // damaged, so reading it shows
    ASSERT_EQ(run_korva({"preset", "save", "Headphones", "--set", "superbass=77"}).exit_code, 0);
    const RunResult file = run_korva({"sink", "profile", "set", "spk", "Headphones"});
    const RunResult factory = run_korva({"sink", "profile", "set", "hp", "Small speakers"});
    write_file(home.file, read_file(home.file) + "profile \"bare\" \"Flat\"\nprofile \"relative\" \"sub/x.kp\"\n");
    const RunResult list = run_korva({"sink", "profile", "list"});
    ASSERT_EQ(chdir(here.c_str()), 0);

    EXPECT_EQ(file.out, "spk: " + home.dir.file("Headphones") + " (the file Headphones, kept as its absolute path)\n")
        << file.err;
    EXPECT_EQ(factory.out, "hp: Small speakers (factory preset)\n") << factory.err;
    const std::string bare = line_starting(list.out, "bare ");
    EXPECT_TRUE(bare.size() > 4 && bare.substr(bare.size() - 4) == "Flat") << "./Flat was read:\n" << list.out;
    EXPECT_NE(line_starting(list.out, "relative ").find("(cannot be applied: sub/x.kp: a preset path kept for later "
                                                        "use must be absolute"),
              std::string::npos)
        << list.out;
}

// Messages about a folder that cannot be made name that folder.
TEST(SinkProfileCli, AConfigurationFolderThatCannotBeMadeIsNamed)
{
    ProfileHome home;
    setenv("HOME", "/proc/nohome", 1);
    unsetenv("XDG_CONFIG_HOME");
    const RunResult run = run_korva({"sink", "profile", "set", "spk", "Flat"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "korva: /proc/nohome/.config/korva: cannot create the folder: No such file or directory\n");
}

namespace {

pid_t start_follow()
{
    const char *argv[] = {KORVA_BIN, "sink", "follow", nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, KORVA_BIN, &quiet, nullptr, const_cast<char **>(argv), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&quiet);
    return pid;
}

}  // namespace

// One follow at a time; once it ends, however it ends, the state it left is
// not shown as the present.
TEST(SinkProfileCli, OnlyOneFollowRunsAndAnEndedOneShowsAsNotRunning)
{
    ProfileHome home;
    const std::string state = home.dir.file("runtime/korva/follow-state");
    for (const int signal_number : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal_number);
        // The state the last round left must not pass for this follow's.
        std::filesystem::remove(state);
        const pid_t first = start_follow();
        ASSERT_GT(first, 0);
        for (int i = 0; i < 100 && read_file(state).empty(); ++i)
            usleep(50000);
        ASSERT_FALSE(read_file(state).empty()) << "follow wrote no state";
        const RunResult second = korva_test::run_captured({"timeout", "5", KORVA_BIN, "sink", "follow"});
        EXPECT_EQ(second.exit_code, 4);
        EXPECT_EQ(second.err,
                  "korva: another korva sink follow is running (pid " + std::to_string(first) +
                      "); only one runs at a time\n");
        // The state settles once follow has looked for PipeWire (there is none here).
        std::string shown;
        for (int i = 0; i < 100 && shown.find("\nfollow: output (none)") == std::string::npos; ++i, usleep(50000))
            shown = run_korva({"sink", "profile", "list"}).out;
        EXPECT_NE(shown.find("\nfollow: output (none)"), std::string::npos) << shown;

        ASSERT_EQ(kill(first, signal_number), 0);
        int status = 0;
        ASSERT_EQ(waitpid(first, &status, 0), first);
        // As a follow killed after applying a preset would leave it.
        write_file(state, "pipewire: connected\nsink: connected\noutput: spk\nroute:\nprofile: spk\npreset: Flat\n"
                          "applied: yes\nproblem:\n");
        const RunResult list = run_korva({"sink", "profile", "list"});
        EXPECT_NE(list.out.find("follow: not running"), std::string::npos) << list.out;
        EXPECT_EQ(list.out.find("applied yes"), std::string::npos) << list.out;
    }
}

// set and remove change only the line concerned: comments, blank lines and
// the spacing of other lines stay as written.
TEST(SinkProfileCli, SetAndRemoveKeepEveryOtherLineAsWritten)
{
    ProfileHome home;
    ASSERT_EQ(run_korva({"sink", "profile", "set", "spk", "Flat"}).exit_code, 0);
    const std::string mine = "\n# my headphones, by hand\n  profile   \"hp\"\t\"Flat\"\n\n# the rest\nfallback \"Flat\"\n";
    const std::string header = read_file(home.file);
    write_file(home.file, header + mine);
    ASSERT_EQ(run_korva({"sink", "profile", "set", "spk", "Headphones"}).exit_code, 0);
    ASSERT_EQ(run_korva({"sink", "profile", "set", "new", "Flat"}).exit_code, 0);
    std::string expected = header + mine + "profile \"new\" \"Flat\"\n";
    expected.replace(expected.find("profile \"spk\" \"Flat\""), 20, "profile \"spk\" \"Headphones\"");
    EXPECT_EQ(read_file(home.file), expected);
    ASSERT_EQ(run_korva({"sink", "profile", "remove", "spk"}).exit_code, 0);
    expected.erase(expected.find("profile \"spk\""), 27);
    EXPECT_EQ(read_file(home.file), expected);
}

// The list lines its presets up by characters, and a very long name sticks
// out of its own line instead of padding every other one.
TEST(SinkProfileCli, TheListAlignsByCharactersAndALongNamePadsNothing)
{
    ProfileHome home;
    const std::string long_name(10000, 'n');
    std::filesystem::create_directories(home.dir.path / "config/korva");
    write_file(home.file, "profile \"\xc3\xa9t\xc3\xa9\" \"Flat\"\nprofile \"" + long_name + "\" \"Flat\"\n"
                          "fallback \"Flat\"\n");
    const RunResult list = run_korva({"sink", "profile", "list"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    EXPECT_NE(list.out.find("\xc3\xa9t\xc3\xa9" + std::string(57 + 2, ' ') + "Flat\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find(long_name + "  Flat\n"), std::string::npos);
    EXPECT_NE(list.out.find("\nfallback" + std::string(52 + 2, ' ') + "Flat\n"), std::string::npos);
    EXPECT_LT(list.out.size(), long_name.size() + 300);
}

// follow's state file damaged by hand, or grown past 1 MiB: the list says
// so with its line instead of showing half a state.
TEST(SinkProfileCli, ADamagedFollowStateIsNamedWithItsLine)
{
    ProfileHome home;
    const std::string state = home.dir.file("runtime/korva/follow-state");
    std::filesystem::create_directories(home.dir.path / "runtime/korva");
    // A running follow's lock, held here in its place: only then is its state shown.
    const int lock = open(home.dir.file("runtime/korva/follow.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(lock, F_SETLK, &whole), 0);
    for (const auto &[text, message] : std::vector<std::pair<std::string, std::string>>{
             {"output: spk\njunk\napplied: yes\n", state + ":2: not a \"key: value\" line"},
             {"output: spk\napplied: yes\noutput: hp\n", state + ":3: the key output again (first on line 1)"},
             {"output: spk" + std::string(1, '\0') + "\napplied: yes\n", state + ":1: a NUL byte"},
             {"output: " + std::string(2 << 20, 's') + "\n", state + ": is larger than 1 MiB"}}) {
        write_file(state, text);
        const RunResult list = run_korva({"sink", "profile", "list"});
        EXPECT_EQ(list.exit_code, 0) << list.err;
        EXPECT_NE(list.out.find("follow: state unreadable: " + message), std::string::npos)
            << list.out.substr(0, 300);
        EXPECT_LT(list.out.size(), 1000u);
    }
    close(lock);
}

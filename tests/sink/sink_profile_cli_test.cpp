// korva sink profile set/remove/list without PipeWire: what the profiles
// file holds, presets checked whole before they are named, and a file edited
// by hand into a shape the reader cannot follow never written over.
#include "tests/cli/cli_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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
    EXPECT_EQ(run_korva({"sink", "profile", "set", "alsa_output.x:[Out] Headphones", "late NIGHT"}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "spk", preset}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "spk", "Flat"}).exit_code, 0);   // replaces
    EXPECT_EQ(run_korva({"sink", "profile", "set", "hp", preset}).exit_code, 0);
    EXPECT_EQ(run_korva({"sink", "profile", "set", "--fallback", "Headphones"}).exit_code, 0);
    EXPECT_EQ(read_file(home.file).substr(read_file(home.file).find("\nprofile") + 1),
              "profile \"alsa_output.x:[Out] Headphones\" \"late NIGHT\"\nprofile \"spk\" \"Flat\"\n"
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
}

// korva sink install/remove/status/set/pulse-line without a running PipeWire:
// the file it writes, where, and what it refuses.
#include "tests/cli/cli_harness.h"

#include "engine/param_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Points HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR into a fresh directory (no
// PipeWire or user systemd answers there) and names a copy of the built plug-in in a folder
// whose name has a space, as a home folder may.
struct SinkHome {
    ScratchDir dir;
    std::string fragment;
    std::string plugin;

    SinkHome()
    {
        std::filesystem::create_directories(dir.path / "runtime");
        setenv("HOME", dir.path.c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.file("runtime").c_str(), 1);
        unsetenv("PIPEWIRE_REMOTE");
        unsetenv("PIPEWIRE_RUNTIME_DIR");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");   // install must not reach a real user systemd
        fragment = dir.file("config/pipewire/pipewire.conf.d/korva-sink.conf");
        std::filesystem::create_directories(dir.path / "my plug-ins");
        plugin = dir.file("my plug-ins/korva.so");
        std::filesystem::copy_file(KORVA_BUILT_PLUGIN, plugin);
        setenv("KORVA_LADSPA_PLUGIN", plugin.c_str(), 1);
    }
};

// The "FIELD" = VALUE lines of a fragment, in file order.
std::vector<std::pair<std::string, std::string>> control_lines(const std::string &text)
{
    std::vector<std::pair<std::string, std::string>> controls;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const auto quote = line.find_first_not_of(' ');
        const auto close = quote == std::string::npos ? std::string::npos : line.find("\" = ", quote);
        if (quote != std::string::npos && line[quote] == '"' && close != std::string::npos)
            controls.emplace_back(line.substr(quote + 1, close - quote - 1), line.substr(close + 4));
        start = end + 1;
    }
    return controls;
}

void expect_controls(const std::string &fragment, const KorvaParams &params)
{
    const auto controls = control_lines(fragment);
    ASSERT_EQ(controls.size(), static_cast<std::size_t>(KORVA_PARAM_FIELD_COUNT)) << fragment;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        EXPECT_EQ(controls[i].first, korva_param_fields[i].name);
        EXPECT_EQ(controls[i].second, std::to_string(korva_param_get(&params, &korva_param_fields[i])))
            << korva_param_fields[i].name;
    }
}

std::string replace_all(std::string text, const std::string &from, const std::string &to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(SinkCli, InstallWritesEveryControlFromPresetAndSetsAndRemoveTakesItAway)
{
    SinkHome home;
    const std::string preset = home.dir.file("warm.kp");
    ASSERT_EQ(run_korva({"preset", "save", preset, "--set", "superbass=200", "--set", "enable_vs=1"}).exit_code, 0);

    // --set after --preset, each value truncated to its field exactly as --set
    // stores it, then clamped to the plug-in's range with a warning.
    const RunResult install = run_korva({"sink", "install", "--preset", preset, "--set", "enable_vs=0", "--set",
                                         "extfx_mode=65537", "--set", "bw_fq=7000", "--set", "vs_intensity=-4"});
    ASSERT_EQ(install.exit_code, 0) << install.err;
    EXPECT_NE(install.out.find("systemctl --user restart pipewire"), std::string::npos) << install.out;
    EXPECT_NE(install.err.find("vs_intensity=-4 is outside the plug-in's range 0..256: the sink uses 0"),
              std::string::npos) << install.err;
    const std::string written = read_file(home.fragment);
    expect_controls(written, params_with({"superbass=200", "extfx_mode=1", "bw_fq=7000", "vs_intensity=0"}));
    EXPECT_NE(written.find("plugin = \"" + home.plugin + "\""), std::string::npos);
    EXPECT_NE(written.find("node.name = \"korva_sink\""), std::string::npos);
    EXPECT_EQ(list_directory(home.dir.file("config/pipewire/pipewire.conf.d")),
              (std::vector<std::string>{".korva-sink.conf.lock", "korva-sink.conf"}))
        << "no temporary file stays behind, only the writers' lock";

    // Installing again replaces the settings; with none given, the shipped
    // file's defaults, which are the engine's.
    ASSERT_EQ(run_korva({"sink", "install"}).exit_code, 0);
    const std::string defaults = read_file(home.fragment);
    KorvaParams engine_defaults{};
    korva_default_params(&engine_defaults);
    expect_controls(defaults, engine_defaults);
    EXPECT_EQ(replace_all(read_file(KORVA_SHARED_FRAGMENT), KORVA_INSTALLED_PLUGIN, home.plugin), defaults);

    const RunResult status = run_korva({"sink", "status"});
    EXPECT_EQ(status.exit_code, 0);
    EXPECT_NE(status.out.find("installed: yes"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("running: no, PipeWire is not running"), std::string::npos) << status.out;

    const RunResult removed = run_korva({"sink", "remove"});
    EXPECT_EQ(removed.exit_code, 0);
    EXPECT_FALSE(std::filesystem::exists(home.fragment));
    const RunResult again = run_korva({"sink", "remove"});
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_NE(again.out.find("not installed"), std::string::npos) << again.out;
    EXPECT_NE(run_korva({"sink", "status"}).out.find("installed: no"), std::string::npos);
}

TEST(SinkCli, InstallRefusesWhatWouldBreakTheSoundServerOrTheFile)
{
    SinkHome home;
    const std::vector<std::pair<std::string, std::string>> bad_plugins = {
        {home.dir.file("missing.so"), "is not there"},
        {"korva.so", "not absolute"},
        {"/etc/passwd", "is not a loadable plug-in library"},
        {home.dir.path.string(), "is not a file"},
    };
    for (const auto &[plugin, reason] : bad_plugins) {
        setenv("KORVA_LADSPA_PLUGIN", plugin.c_str(), 1);
        const RunResult result = run_korva({"sink", "install"});
        EXPECT_EQ(result.exit_code, 1) << plugin;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(home.fragment)) << plugin;
    }
    // A LADSPA plug-in, but another one.
    if (std::filesystem::exists("/usr/lib/ladspa/amp.so")) {
        setenv("KORVA_LADSPA_PLUGIN", "/usr/lib/ladspa/amp.so", 1);
        const RunResult other = run_korva({"sink", "install"});
        EXPECT_EQ(other.exit_code, 1);
        EXPECT_NE(other.err.find("without the label korva"), std::string::npos) << other.err;
        EXPECT_FALSE(std::filesystem::exists(home.fragment));
    }
    setenv("KORVA_LADSPA_PLUGIN", home.plugin.c_str(), 1);

    const RunResult bad_field = run_korva({"sink", "install", "--set", "loudness=3"});
    EXPECT_EQ(bad_field.exit_code, 2);
    EXPECT_NE(bad_field.err.find("unknown field"), std::string::npos) << bad_field.err;

    std::filesystem::create_directories(home.fragment);   // a directory where the file goes
    const RunResult blocked = run_korva({"sink", "install"});
    EXPECT_EQ(blocked.exit_code, 1);
    EXPECT_NE(blocked.err.find("is a directory"), std::string::npos) << blocked.err;
    const std::string status = run_korva({"sink", "status"}).out;
    EXPECT_NE(status.find("installed: unreadable: " + home.fragment + ": is not a regular file"), std::string::npos)
        << status;
}

TEST(SinkCli, AnyAbsolutePluginPathIsQuotedForPipeWire)
{
    SinkHome home;
    const std::string folder = home.dir.file("say \"hi\" \\ there");
    std::filesystem::create_directories(folder);
    const std::string plugin = folder + "/korva.so";
    std::filesystem::copy_file(home.plugin, plugin);
    setenv("KORVA_LADSPA_PLUGIN", plugin.c_str(), 1);
    const RunResult install = run_korva({"sink", "install"});
    ASSERT_EQ(install.exit_code, 0) << install.err;
    const std::string quoted = "plugin = \"" + home.dir.file("say \\\"hi\\\" \\\\ there") + "/korva.so\"";
    EXPECT_NE(read_file(home.fragment).find(quoted), std::string::npos) << quoted;
    EXPECT_NE(run_korva({"sink", "status"}).out.find("plug-in: " + plugin + "\n"), std::string::npos);

    // The PulseAudio line quotes a space and refuses what it cannot carry.
    const RunResult line = run_korva({"sink", "pulse-line"});
    EXPECT_EQ(line.exit_code, 1);
    EXPECT_NE(line.err.find("cannot carry"), std::string::npos) << line.err;
    setenv("KORVA_LADSPA_PLUGIN", home.plugin.c_str(), 1);
    EXPECT_NE(run_korva({"sink", "pulse-line"}).out.find(" plugin=\"" + home.plugin + "\" label=korva "),
              std::string::npos);
}

TEST(SinkCli, PulseLineGivesAllValuesInPortOrder)
{
    SinkHome home;
    const RunResult line = run_korva({"sink", "pulse-line", "--set", "superbass=160", "--set", "spc_mode=1"});
    ASSERT_EQ(line.exit_code, 0) << line.err;
    const KorvaParams params = params_with({"superbass=160", "spc_mode=1"});
    std::string values;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (i > 0)
            values += ',';
        values += std::to_string(korva_param_get(&params, &korva_param_fields[i]));
    }
    EXPECT_EQ(line.out, "load-module module-ladspa-sink sink_name=korva sink_properties=device.description=Korva "
                        "plugin=\"" + home.plugin + "\" label=korva control=" + values + "\n");
}

TEST(SinkCli, SetChecksEveryFieldFirstAndSavesWithoutARunningSink)
{
    SinkHome home;
    // Nothing listens in this runtime directory and nothing is installed:
    // a clear failure, never success.
    const RunResult no_server = run_korva({"sink", "set", "superbass=10"});
    EXPECT_EQ(no_server.exit_code, 1);
    EXPECT_NE(no_server.err.find("PipeWire is not running"), std::string::npos) << no_server.err;

    ASSERT_EQ(run_korva({"sink", "install"}).exit_code, 0);
    const std::string installed = read_file(home.fragment);
    // A bad field anywhere stops the whole set: the fields before it are not saved.
    for (const auto &[field, reason] : std::vector<std::pair<std::string, std::string>>{
             {"superbas=1", "unknown field"}, {"preamp=x", "not a decimal integer"}, {"preamp", "FIELD=VALUE"}}) {
        const RunResult bad = run_korva({"sink", "set", "superbass=10", field});
        EXPECT_EQ(bad.exit_code, 2) << field;
        EXPECT_NE(bad.err.find(reason), std::string::npos) << bad.err;
        EXPECT_EQ(read_file(home.fragment), installed) << field;
    }

    // With the sink installed but PipeWire away, the change is saved for its
    // next start; values beyond a control's range are clamped with a warning.
    const RunResult saved = run_korva({"sink", "set", "superbass=2147483647", "preamp=-1", "enable_extfx=1"});
    EXPECT_EQ(saved.exit_code, 0) << saved.err;
    EXPECT_NE(saved.out.find("PipeWire is not running"), std::string::npos) << saved.out;
    EXPECT_NE(saved.err.find("superbass=2147483647 is outside the plug-in's range 0..256: the sink uses 256"),
              std::string::npos) << saved.err;
    expect_controls(read_file(home.fragment), params_with({"superbass=256", "preamp=0", "enable_extfx=1"}));

    // --no-save needs the live sink.
    const RunResult live_only = run_korva({"sink", "set", "--no-save", "preamp=7"});
    EXPECT_EQ(live_only.exit_code, 1);
    EXPECT_NE(live_only.err.find("PipeWire is not running"), std::string::npos) << live_only.err;
    expect_controls(read_file(home.fragment), params_with({"superbass=256", "preamp=0", "enable_extfx=1"}));

    // A fragment edited by hand into something unreadable is named with its
    // line and left as it is.
    const std::string broken = replace_all(installed, "\"fidelity\" = 64", "\"fidelity\" = lots");
    write_file(home.fragment, broken);
    const std::string line = std::to_string(1 + std::count(broken.begin(), broken.begin() + broken.find("lots"), '\n'));
    const RunResult refused = run_korva({"sink", "set", "superbass=1"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find(home.fragment + ":" + line + ": the control fidelity has the value lots"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(read_file(home.fragment), broken);
    EXPECT_NE(run_korva({"sink", "status"}).out.find("installed: unreadable: " + home.fragment + ":" + line + ":"),
              std::string::npos);
}

// One NUL byte after a valid fragment once made status and set grow until
// the kernel stopped them: now both name its line at once, under the memory
// limit the report used (none in sanitizer builds, whose shadow memory
// needs more address space than that).
TEST(SinkCli, ANulByteInTheFragmentIsNamedWithItsLineInBoundedMemory)
{
    SinkHome home;
    ASSERT_EQ(run_korva({"sink", "install"}).exit_code, 0);
    const std::string damaged = read_file(home.fragment) + std::string(1, '\0');
    write_file(home.fragment, damaged);
    const std::string where =
        home.fragment + ":" + std::to_string(1 + std::count(damaged.begin(), damaged.end(), '\n')) + ": a NUL byte";
    auto limited = [](const std::vector<std::string> &args) {
        std::vector<std::string> argv = {"sh", "-c", std::string("ulimit -v ") + KORVA_TEST_MEMORY_LIMIT_KB +
                                                         " 2>/dev/null; exec \"$0\" \"$@\"",
                                         KORVA_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        return korva_test::run_captured(argv);
    };
    const RunResult status = limited({"sink", "status"});
    EXPECT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find("installed: unreadable: " + where), std::string::npos) << status.out << status.err;
    const RunResult set = limited({"sink", "set", "preamp=1"});
    EXPECT_EQ(set.exit_code, 1);
    EXPECT_NE(set.err.find(where), std::string::npos) << set.err;
    EXPECT_EQ(read_file(home.fragment), damaged);
}

// korva-control as a user meets it, in a private PipeWire with wireplumber
// that loads the sink's fragment from $XDG_CONFIG_HOME, under Xvfb, driven
// by real pointer input (xdotool) at the places widgetmap.so (preloaded into
// korva-control only) reports for its widgets. Every change must reach the
// node's controls (pw-dump) and the fragment; outside changes move the
// window; nothing comes back as an echo; PipeWire restarting keeps every
// value; the sound equals `korva process` with the node's settings.
#include "tests/sink/private_pipewire.h"
#include "widget_map.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <sstream>

namespace {

using namespace pipewire_test;

// The window, its widget map refreshed every 200 ms.
struct ControlWindow {
    std::string map_path;
    std::unique_ptr<Background> program;

    ControlWindow(const ScratchDir &dir, const std::string &name) : map_path(dir.file(name + ".map"))
    {
        std::filesystem::remove(map_path);
        program = std::make_unique<Background>(
            std::vector<std::string>{"env", "LD_PRELOAD=" KORVA_WIDGETMAP, "WIDGETMAP_OUT=" + map_path,
                                     KORVA_CONTROL_BIN},
            dir.file(name + ".log"));
    }

    widget_map::Map map() const { return widget_map::read(map_path); }

    // A map written after every event sent so far was handled: two
    // refreshes later than now.
    widget_map::Map fresh_map() const
    {
        const unsigned now = map().seq;
        widget_map::Map later;
        eventually(5, [&] { return (later = map()).seq >= now + 2; });
        return later;
    }

    // The widget once the map shows it, visible.
    bool find(const std::string &name, widget_map::Widget &widget, int seconds = 10) const
    {
        return eventually(seconds, [&] {
            const widget_map::Map now = map();
            const auto at = now.widgets.find(name);
            if (at == now.widgets.end() || !at->second.visible)
                return false;
            widget = at->second;
            return true;
        });
    }

    std::string state(const std::string &name) const
    {
        const widget_map::Map now = map();
        const auto at = now.widgets.find(name);
        return at == now.widgets.end() ? std::string() : at->second.state;
    }

    bool title_says(const std::string &words, int seconds = 10) const
    {
        return eventually(seconds, [&] { return !widget_map::title_with(map(), "Korva configuration \xe2\x80\x94 " + words).empty(); });
    }

    std::string titles() const
    {
        std::string text;
        for (const std::string &title : map().titles)
            text += "[" + title + "] ";
        return text;
    }

    // A button clicked in its middle, once it shows and the window has been
    // laid out after that (a row that changes moves its neighbours).
    bool click_button(const std::string &name) const
    {
        widget_map::Widget w;
        if (!find(name, w))
            return false;
        w = fresh_map().widgets[name];
        return w.visible && widget_map::click(w.x + w.w / 2, w.y + w.h / 2);
    }

    // A check button clicked on its box, at its left end.
    bool click_check(const std::string &name) const
    {
        widget_map::Widget w;
        return find(name, w) && widget_map::click(w.x + 8, w.y + w.h / 2);
    }

    // The option menu opened with a click, then its item `position` clicked
    // once the menu has been up half a second (the menu takes a release
    // earlier than that as the end of the opening click).
    bool pick(const std::string &name, int position) const
    {
        widget_map::Widget menu, item;
        const std::string item_name = "MENUITEM:" + std::to_string(position);
        if (!find(name, menu) || !widget_map::click(menu.x + menu.w / 2, menu.y + menu.h / 2) || !find(item_name, item))
            return false;
        pause_for(700);
        return find(item_name, item) && widget_map::click(item.x + item.w / 2, item.y + item.h / 2);
    }

    // A horizontal scrollbar's thumb dragged by `dx` pixels in ten motions.
    // The thumb is found from the value: the theme's steppers (14 px) and
    // trough border (1 px) at each end, the page of 32 in a range of 288.
    bool drag_thumb(const std::string &name, int dx) const
    {
        widget_map::Widget bar;
        if (!find(name, bar))
            return false;
        const double trough = bar.w - 2 * 15, thumb = trough * 32 / 288;
        const int centre = bar.x + 15 + static_cast<int>((trough - thumb) * std::stod(bar.state) / 256 + thumb / 2);
        return widget_map::drag(centre, bar.y + bar.h / 2, centre + dx, bar.y + bar.h / 2, 10);
    }
};

double field_of(const std::string &state)
{
    return state.empty() ? std::nan("") : std::trunc(std::stod(state));
}

std::string fragment_path(const ScratchDir &dir)
{
    return dir.file("config/pipewire/pipewire.conf.d/korva-sink.conf");
}

// The node and the fragment both hold `value` for `field` within five seconds.
::testing::AssertionResult lands(const ScratchDir &dir, const char *field, double value)
{
    if (eventually(5, [&] { return live_value(field) == value && saved_value(fragment_path(dir), field) == value; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << field << ": node " << live_value(field) << ", fragment "
                                         << saved_value(fragment_path(dir), field) << ", want " << value;
}

// The node's live controls as `--set FIELD=VALUE` arguments, from `korva sink status`.
std::vector<std::string> live_settings()
{
    const RunResult status = run_korva({"sink", "status"});
    const auto live = status.out.find("\nlive:");
    std::vector<std::string> args;
    if (live == std::string::npos)
        return args;
    std::istringstream words(status.out.substr(live + 6, status.out.find('\n', live + 1) - live - 6));
    std::string assignment;
    while (words >> assignment)
        args.insert(args.end(), {"--set", assignment});
    return args;
}

class KorvaControl : public ::testing::Test {
protected:
    ScratchDir dir;

    void SetUp() override
    {
        if (sink_plugin(KORVA_BUILT_PLUGIN).empty())
            GTEST_SKIP() << "no Korva LADSPA plug-in in this build (korva_ladspa target) and KORVA_LADSPA_PLUGIN unset";
        if (const std::string missing = pipewire_missing(); !missing.empty())
            GTEST_SKIP() << missing;
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no display: run under xvfb-run";
        enter_private_session(dir);
        setenv("KORVA_LADSPA_PLUGIN", sink_plugin(KORVA_BUILT_PLUGIN).c_str(), 1);
        ASSERT_TRUE(write_server_config(dir.file("config/pipewire/pipewire.conf"))) << kServerTemplate << " changed shape";
    }

    void install_sink()
    {
        const RunResult installed = run_korva({"sink", "install"});
        ASSERT_EQ(installed.exit_code, 0) << installed.err;
    }
};

TEST_F(KorvaControl, DrivesTheRunningSinkFollowsOutsideChangesAndSurvivesARestart)
{
    install_sink();
    Desktop desktop = start_desktop(dir, "first");
    ASSERT_TRUE(desktop.linked) << "the sink was not linked to test_out\n" << read_file(desktop.server->log);

    // 1. Opens connected, showing the node's values.
    ControlWindow window(dir, "window");
    ASSERT_TRUE(window.title_says("connected")) << window.titles() << read_file(window.program->log);
    EXPECT_EQ(window.state("chkExtSpace"), "0");

    // The state `korva sink follow` publishes follows the connection state,
    // while a follow holds its lock (taken here in its place); once the
    // holder has gone, the state left behind shows as not running.
    std::filesystem::create_directories(dir.file("runtime/korva"));
    write_file(dir.file("runtime/korva/follow-state"),
               "pipewire: connected\nsink: connected\noutput: test_out\nroute:\nprofile: fallback\n"
               "preset: Late night\napplied: yes\nproblem:\n");
    const int follow_lock = open(dir.file("runtime/korva/follow.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(follow_lock, F_SETLK, &whole), 0);
    EXPECT_TRUE(window.title_says("connected; test_out: Late night (fallback)")) << window.titles();
    close(follow_lock);
    EXPECT_TRUE(window.title_says("connected; profiles: korva sink follow is not running")) << window.titles();

    // 2. A check button, an option-menu pick and a scrollbar drag each reach
    // the node and the fragment; the fields not touched stay.
    ASSERT_TRUE(window.click_check("chkExtSpace"));
    EXPECT_TRUE(lands(dir, "enable_extspace", 1));
    ASSERT_TRUE(window.pick("chChainer", 3));
    EXPECT_TRUE(lands(dir, "chain_index", 3));
    ASSERT_TRUE(window.drag_thumb("slSuperBass", 200));
    const double dragged = field_of(window.fresh_map().widgets["slSuperBass"].state);
    ASSERT_GT(dragged, 20) << "the drag did not move the thumb";
    EXPECT_TRUE(lands(dir, "superbass", dragged)) << "the last value of the drag";
    EXPECT_EQ(live_value("fidelity"), 64.0);
    EXPECT_EQ(saved_value(fragment_path(dir), "fidelity"), 64.0);

    // 3. korva sink set from outside moves the window's controls, and nothing
    // comes back: a brainwave frequency no mode has (5000) leaves the
    // window's mode button as it was, and the window's read-back of it does
    // not reach the node.
    const RunResult set = run_korva({"sink", "set", "superbass=40", "enable_vs=1", "bw_fq=5000"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    EXPECT_TRUE(eventually(5, [&] { return window.state("slSuperBass") == "40" && window.state("chkVS") == "1"; }))
        << "superbass " << window.state("slSuperBass") << ", Virtual Subwoofer " << window.state("chkVS");
    pause_for(1500);
    EXPECT_EQ(live_value("superbass"), 40.0);
    EXPECT_EQ(live_value("bw_fq"), 5000.0) << "the window's own read-back reached the sink";
    EXPECT_EQ(saved_value(fragment_path(dir), "bw_fq"), 5000.0);

    // 4. PipeWire restarts: the window says so, the node comes back with
    // every changed value, and the window drives it again.
    desktop = Desktop{};
    EXPECT_TRUE(window.title_says("PipeWire not running")) << window.titles();
    Desktop again = start_desktop(dir, "second");
    ASSERT_TRUE(again.linked) << "the sink did not come back\n" << read_file(again.server->log);
    EXPECT_TRUE(window.title_says("connected")) << window.titles();
    const std::vector<std::pair<const char *, double>> changed = {
        {"enable_extspace", 1}, {"chain_index", 3}, {"superbass", 40}, {"enable_vs", 1}, {"bw_fq", 5000}};
    for (const auto &[field, value] : changed)
        EXPECT_EQ(live_value(field), value) << field << " after the restart";
    ASSERT_TRUE(window.click_check("chkExtFX"));
    EXPECT_TRUE(lands(dir, "enable_extfx", 1));

    // 5. Sound played into the sink now equals korva process with the node's
    // settings (brainwave synthesis off: its phase would run on through the
    // recording's leading silence).
    ASSERT_EQ(live_value("enable_bw"), 0.0);
    std::vector<std::string> settings = live_settings();
    ASSERT_EQ(settings.size(), 64u) << "korva sink status did not list the 32 live controls";
    Audio input = make_signal(3 * kRate, 2, kRate);
    const long signal_frames = input.frames();
    input.samples.resize(input.samples.size() + 2 * kRate, 0);
    const std::string input_path = dir.file("in.wav");
    write_audio(input_path, input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<std::string> process = {"process", input_path, dir.file("expected.wav"), "--quiet"};
    process.insert(process.end(), settings.begin(), settings.end());
    ASSERT_EQ(run_korva(process).exit_code, 0);
    const Audio expected = read_audio(dir.file("expected.wav"));
    const Audio recorded = play_and_record(dir, input_path, "played");
    const Alignment a = align(recorded, expected);
    ASSERT_GE(a.offset, 0) << "the recording holds no sound";
    ASSERT_GE(a.compared, signal_frames) << "the recording ends early";
    const long mismatch = first_difference(recorded, expected, a, 0, a.compared);
    EXPECT_EQ(mismatch, a.compared) << "first difference at frame " << mismatch << ": recorded "
                                    << frame_text(recorded, a.offset + mismatch) << ", korva process "
                                    << frame_text(expected, mismatch);
}

TEST_F(KorvaControl, SaysWhatIsMissingKeepsEditsWithoutPipeWireAndConnectsWhenItStarts)
{
    // Neither a sink nor PipeWire: the defaults, and the command that
    // installs the sink; Close quits.
    {
        ControlWindow window(dir, "uninstalled");
        EXPECT_TRUE(window.title_says("PipeWire not running; the sink is not installed (korva sink install)"))
            << window.titles() << read_file(window.program->log);
        EXPECT_EQ(window.state("slSuperBass"), "0");

        // SAVE into a folder of the user's: the folder is kept for the next
        // LOAD or SAVE, under $XDG_CONFIG_HOME/korva/.
        const std::string presets = dir.file("my presets");
        std::filesystem::create_directories(presets);
        widget_map::Widget save, selector;
        ASSERT_TRUE(window.find("btnSave", save));
        ASSERT_TRUE(widget_map::click(save.x + save.w / 2, save.y + save.h / 2));
        ASSERT_TRUE(window.find("fileSave", selector));
        ASSERT_TRUE(widget_map::keys({"ctrl+a"}) && widget_map::type(presets + "/warm.kp") &&
                    widget_map::keys({"Return"}));
        EXPECT_TRUE(eventually(5, [&] { return std::filesystem::exists(presets + "/warm.kp"); }));
        EXPECT_TRUE(eventually(5, [&] { return read_file(dir.file("config/korva/last-preset-folder")) == presets + "/\n"; }));

        widget_map::Widget close;
        ASSERT_TRUE(window.find("btnClose", close));
        ASSERT_TRUE(widget_map::click(close.x + close.w / 2, close.y + close.h / 2));
        EXPECT_TRUE(window.program->wait(5)) << "Close did not end korva-control\n" << read_file(window.program->log) << window.titles();
    }

    // Installed, PipeWire not running: edits go to the fragment.
    install_sink();
    ControlWindow window(dir, "window");
    ASSERT_TRUE(window.title_says("PipeWire not running: changes are saved and apply when it starts"))
        << window.titles() << read_file(window.program->log);
    ASSERT_TRUE(window.click_check("chkVS"));
    EXPECT_TRUE(eventually(5, [&] { return saved_value(fragment_path(dir), "enable_vs") == 1.0; }));
    ASSERT_TRUE(window.pick("chChainer", 5));
    EXPECT_TRUE(eventually(5, [&] { return saved_value(fragment_path(dir), "chain_index") == 5.0; }));

    // PipeWire starts: the sink starts with the edits, the window connects
    // without pushing anything, and drives the node.
    Desktop desktop = start_desktop(dir, "desktop");
    ASSERT_TRUE(desktop.linked) << "the sink was not linked to test_out\n" << read_file(desktop.server->log);
    EXPECT_TRUE(window.title_says("connected")) << window.titles();
    EXPECT_EQ(live_value("enable_vs"), 1.0);
    EXPECT_EQ(live_value("chain_index"), 5.0);
    ASSERT_TRUE(window.click_check("chkExtSpace"));
    EXPECT_TRUE(lands(dir, "enable_extspace", 1));
}

// A fragment that cannot be read takes no change: the title says so, with
// its line, and no change pops up "not saved"; mended, it takes them again.
TEST_F(KorvaControl, AnUnreadableFragmentIsToldInTheTitleUntilItIsMended)
{
    install_sink();
    const std::string fragment = fragment_path(dir), good = read_file(fragment);
    write_file(fragment, good + "}\n");
    const int line = static_cast<int>(std::count(good.begin(), good.end(), '\n')) + 1;
    ControlWindow window(dir, "window");
    EXPECT_TRUE(window.title_says("PipeWire not running; changes cannot be saved until the sink's configuration is "
                                  "mended: " + fragment + ":" + std::to_string(line) + ": "))
        << window.titles() << read_file(window.program->log);
    ASSERT_TRUE(window.click_check("chkVS"));
    EXPECT_TRUE(eventually(5, [&] { return window.state("chkVS") == "1"; })) << "the click did not land";
    pause_for(1000);
    EXPECT_EQ(widget_map::title_with(window.map(), "not saved"), "") << window.titles();
    EXPECT_EQ(read_file(fragment), good + "}\n");

    write_file(fragment, good);
    EXPECT_TRUE(window.title_says("PipeWire not running: changes are saved and apply when it starts"))
        << window.titles();
}

// The Compare switch and its key: Korva's side, the bypass, back, off, each
// reaching the node and said in the title; a settings change during the
// compare measures the match again; the 32 controls never carry it.
TEST_F(KorvaControl, CompareSwitchAndKeySwitchSidesAndTheTitleSaysWhichPlays)
{
    install_sink();
    Desktop desktop = start_desktop(dir, "compare");
    ASSERT_TRUE(desktop.linked) << "the sink was not linked to test_out\n" << read_file(desktop.server->log);
    ControlWindow window(dir, "window");
    ASSERT_TRUE(window.title_says("connected")) << window.titles() << read_file(window.program->log);
    const std::string saved = read_file(fragment_path(dir));

    ASSERT_TRUE(window.click_check("chkCompare"));
    EXPECT_TRUE(eventually(5, [] { return node_control("compare:side") == 1.0; })) << read_file(window.program->log);
    EXPECT_TRUE(window.title_says("connected \xe2\x80\x94 compare: Korva playing, at full level (the bypass is matched"))
        << window.titles();
    const double bypass_level = node_control("compare:bypass_level");
    EXPECT_LT(bypass_level, 1.0) << "the defaults are quieter than the input: the bypass is lowered";

    // B, the key, with the pointer over the window.
    ASSERT_TRUE(widget_map::keys({"b"}));
    EXPECT_TRUE(eventually(5, [] { return node_control("compare:side") == 2.0; }));
    EXPECT_TRUE(eventually(5, [&] { return !widget_map::title_with(window.map(), "compare: bypass playing, lowered").empty(); }))
        << window.titles();
    ASSERT_TRUE(window.click_button("btnAB"));
    EXPECT_TRUE(eventually(5, [] { return node_control("compare:side") == 1.0; }));

    // A settings change: the match follows, the fragment takes only the control.
    ASSERT_TRUE(window.click_check("chkVS"));
    EXPECT_TRUE(lands(dir, "enable_vs", 1));
    EXPECT_TRUE(eventually(5, [&] { return node_control("compare:bypass_level") != bypass_level; }))
        << "the match did not follow the settings";
    EXPECT_EQ(node_control("compare:side"), 1.0);
    std::string expected = saved;
    const std::string off = "\"enable_vs\" = 0";
    const auto at = expected.find(off);
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, off.size(), "\"enable_vs\" = 1");
    EXPECT_EQ(read_file(fragment_path(dir)), expected) << "the compare reached the fragment";

    ASSERT_TRUE(window.click_check("chkCompare"));
    EXPECT_TRUE(eventually(5, [] { return node_control("compare:side") == 0.0; }));
    EXPECT_TRUE(eventually(5, [&] { return widget_map::title_with(window.map(), "compare:").empty(); }))
        << window.titles();
}

// A first start from the menu on a fresh home, PipeWire running without the
// sink: the window offers the install, keeps an edit made before it, says a
// restart of PipeWire is needed (no user systemd here), connects by itself
// once PipeWire has the sink, and makes Korva the output and switches back.
TEST_F(KorvaControl, AFirstStartFromTheMenuReachesAWorkingSinkWithoutATerminal)
{
    Background server({"pipewire"}, dir.file("first-pipewire.log"));
    ASSERT_TRUE(eventually(10, [] { return !ask({"pw-cli", "info", "0"}).empty(); })) << read_file(server.log);
    auto session = std::make_unique<Background>(std::vector<std::string>{"dbus-run-session", "--", "wireplumber"},
                                                dir.file("first-wireplumber.log"));
    ASSERT_TRUE(eventually(10, [] { return ask({"pw-metadata", "-n", "default", "0"}).find("test_out") != std::string::npos; }))
        << "wireplumber chose no default output";

    ControlWindow window(dir, "first");
    widget_map::Widget label;
    ASSERT_TRUE(window.find("lblSetup", label)) << window.titles() << read_file(window.program->log);
    EXPECT_NE(label.state.find("Korva's output is not installed yet"), std::string::npos) << label.state;

    // An edit before the install is kept, then becomes the sink's.
    ASSERT_TRUE(window.click_check("chkVS"));
    EXPECT_TRUE(eventually(5, [&] { return std::filesystem::exists(dir.file("config/korva/pending-sink.kp")); }));
    ASSERT_TRUE(window.click_button("btnInstall"));
    EXPECT_TRUE(eventually(5, [&] { return saved_value(fragment_path(dir), "enable_vs") == 1.0; }))
        << read_file(window.program->log);
    EXPECT_FALSE(std::filesystem::exists(dir.file("config/korva/pending-sink.kp")));
    EXPECT_TRUE(eventually(5, [&] {
        return window.state("lblSetup").find("PipeWire loads it when it restarts (log out and in") != std::string::npos;
    })) << window.state("lblSetup");

    // The restart a logout brings: the window connects by itself.
    session.reset();
    server.stop(SIGTERM);
    Desktop desktop = start_desktop(dir, "restarted");
    ASSERT_TRUE(desktop.linked) << "the installed sink did not start\n" << read_file(desktop.server->log);
    EXPECT_TRUE(window.title_says("connected")) << window.titles();
    EXPECT_EQ(live_value("enable_vs"), 1.0);

    // Korva as the output in use, and back.
    ASSERT_TRUE(window.click_button("btnDefault")) << window.state("lblSetup");
    EXPECT_TRUE(eventually(5, [] {
        return ask({"pw-metadata", "-n", "default", "0", "default.configured.audio.sink"}).find("korva_sink") !=
               std::string::npos;
    }));
    EXPECT_TRUE(eventually(5, [&] { return window.state("lblSetup").find("Korva is the output in use") != std::string::npos; }))
        << window.state("lblSetup");
    EXPECT_TRUE(korva_linked_to("test_out")) << "Korva does not play into the output it replaced";
    ASSERT_TRUE(window.click_button("btnSwitchBack"));
    EXPECT_TRUE(eventually(5, [] {
        return ask({"pw-metadata", "-n", "default", "0", "default.configured.audio.sink"}).find("test_out") !=
               std::string::npos;
    }));
}

// Where a user systemd answers (a stand-in systemctl that logs its calls),
// the install also starts the follow service, and the window offers the
// PipeWire restart and runs it.
TEST_F(KorvaControl, WithAUserSystemdTheInstallStartsFollowAndTheWindowOffersTheRestart)
{
    Background server({"pipewire"}, dir.file("pipewire.log"));
    ASSERT_TRUE(eventually(10, [] { return !ask({"pw-cli", "info", "0"}).empty(); })) << read_file(server.log);
    const std::string bin = dir.file("bin"), calls = dir.file("systemctl-calls");
    std::filesystem::create_directories(bin);
    write_file(bin + "/systemctl", "#!/bin/sh\necho \"$*\" >> '" + calls + "'\n");
    std::filesystem::permissions(bin + "/systemctl", std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    ControlWindow window(dir, "systemd");
    setenv("PATH", path.c_str(), 1);

    ASSERT_TRUE(window.click_button("btnInstall")) << window.titles() << read_file(window.program->log);
    EXPECT_TRUE(eventually(5, [&] { return std::filesystem::exists(fragment_path(dir)); }));
    EXPECT_TRUE(eventually(5, [&] {
        return read_file(calls).find("--user enable --now korva-follow.service\n") != std::string::npos;
    })) << read_file(calls);
    EXPECT_TRUE(eventually(5, [&] {
        return window.state("lblSetup") == "The Korva output is installed: PipeWire loads it when it restarts.";
    })) << window.state("lblSetup");
    ASSERT_TRUE(window.click_button("btnRestart")) << window.state("lblSetup");
    EXPECT_TRUE(eventually(5, [&] { return read_file(calls).find("--user restart pipewire\n") != std::string::npos; }))
        << read_file(calls);
}

}  // namespace

// The plug-in and its window in jalv.qt5, which embeds the GTK 2 window
// through suil's GTK 2-in-Qt 5 wrapper, under Xvfb with a private JACK
// server on the dummy driver, in synchronous mode (each cycle waits for every
// client, so a busy machine delays the audio but never drops a cycle of it).
// jack_metro feeds both inputs; jack_rec records
// the plug-in's output beside that input, in the same JACK cycles. Real
// pointer and keyboard input (xdotool) at the places widgetmap.so (preloaded
// into jalv.qt5) reports must reach the plug-in: what it renders equals
// `korva process` of the recorded input with the settings the window shows.
// A preset from jalv's Presets menu must show in the window.
#include "engine/samples.h"
#include "tests/korva-control/widget_map.h"
#include "tests/sink/private_pipewire.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

using namespace pipewire_test;

constexpr int kJackRate = 48000;
constexpr const char *kUri = "urn:korva:enhancer";

// One jalv.qt5 process with the plug-in, its top-left corner at (x, 0).
struct Jalv {
    std::string map_path, client;
    std::unique_ptr<Background> program;

    Jalv(const ScratchDir &dir, const std::string &name, int x) : map_path(dir.file(name + ".map"))
    {
        std::filesystem::remove(map_path);
        const std::string bundle_parent = std::filesystem::path(KORVA_LV2_BUNDLE).parent_path().string();
        program = std::make_unique<Background>(
            std::vector<std::string>{"env", "HOME=" + dir.path.string(), "LV2_PATH=" + bundle_parent,
                                     "LD_PRELOAD=" KORVA_WIDGETMAP, "WIDGETMAP_OUT=" + map_path, "jalv.qt5",
                                     "-geometry", std::string("+").append(std::to_string(x)).append("+0"), kUri},
            dir.file(name + ".log"));
    }

    widget_map::Map map() const { return widget_map::read(map_path); }

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

    // The whole number a widget shows (a range's value is truncated, as the
    // window stores it), or -1.
    int shown(const std::string &name) const
    {
        const widget_map::Map now = map();
        const auto at = now.widgets.find(name);
        return at == now.widgets.end() || at->second.state.empty() ? -1
                                                                    : static_cast<int>(std::stod(at->second.state));
    }

    // The map written after every event sent so far was handled: two
    // refreshes later than now.
    widget_map::Map fresh_map() const
    {
        const unsigned now = map().seq;
        widget_map::Map later;
        eventually(5, [&] { return (later = map()).seq >= now + 2; });
        return later;
    }

    int settled(const std::string &name) const
    {
        fresh_map();
        return shown(name);
    }

    bool shows(const std::string &name, int value) const
    {
        return eventually(5, [&] { return shown(name) == value; });
    }

    bool click_check(const std::string &name) const
    {
        widget_map::Widget w;
        return find(name, w) && widget_map::click(w.x + 8, w.y + w.h / 2);
    }

    // The option menu opened with a click; then keys (the menu takes a
    // release earlier than half a second as the end of the opening click).
    bool menu_keys(const std::string &name, const std::vector<std::string> &keys) const
    {
        widget_map::Widget menu, item;
        if (!find(name, menu) || !widget_map::click(menu.x + menu.w / 2, menu.y + menu.h / 2) ||
            !find("MENUITEM:0", item))
            return false;
        pause_for(700);
        return widget_map::keys(keys);
    }

    // A horizontal scrollbar's thumb dragged by `dx` pixels (steppers and
    // border 15 px at each end, a page of 32 in a range of 288).
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

// The recorded output (as 16-bit values: the plug-in's output is s/32768) and
// the recorded input, quantised as the plug-in quantises it.
struct Recording {
    std::vector<int16_t> out, in;   // interleaved stereo
    long frames = 0;
};

Recording record(const ScratchDir &dir, const std::string &client, int seconds)
{
    const std::string path = dir.file("rec.wav");
    std::filesystem::remove(path);
    ask({"jack_rec", "-f", path, "-d", std::to_string(seconds), "-b", "32", client + ":out_l", client + ":out_r",
         "metro:300_bpm"});
    Recording r;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 3 || info.samplerate != kJackRate) {
        ADD_FAILURE() << "jack_rec wrote no 3-channel recording at " << path;
        if (file)
            sf_close(file);
        return r;
    }
    std::vector<float> data(static_cast<size_t>(info.frames) * 3);
    r.frames = sf_readf_float(file, data.data(), info.frames);
    sf_close(file);
    long between = 0;   // output samples that are no 16-bit value
    for (long f = 0; f < r.frames; ++f) {
        for (int c = 0; c < 2; ++c) {
            const float y = data[f * 3 + c] * 32768.0f;
            between += y != std::nearbyint(y);
            r.out.push_back(static_cast<int16_t>(std::lrint(y)));
        }
        const int16_t x = korva_sample_from_float(data[f * 3 + 2]);
        r.in.push_back(x);
        r.in.push_back(x);
    }
    EXPECT_EQ(between, 0) << "the plug-in's output is s/32768";
    return r;
}

// Output samples from frame `from` on where the recording differs from
// `korva process` of its input with `args` (the plug-in ran long before the
// recording began; `from` lets the fresh run's state meet it).
long differences(const ScratchDir &dir, const Recording &r, const std::vector<std::string> &args, long from)
{
    Audio input;
    input.rate = kJackRate;
    input.samples = r.in;
    write_audio(dir.file("in.wav"), input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<std::string> command = {"process", "-q", dir.file("in.wav"), dir.file("want.wav"), "--bits", "16"};
    command.insert(command.end(), args.begin(), args.end());
    const RunResult run = run_korva(command);
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    const Audio want = read_audio(dir.file("want.wav"));
    if (want.samples.size() != r.out.size())
        return -1;
    long n = 0;
    for (size_t i = static_cast<size_t>(from) * 2; i < r.out.size(); ++i)
        n += want.samples[i] != r.out[i];
    return n;
}

// Each preset of the bundle's presets.ttl by label: its ports' values by symbol.
std::map<std::string, std::map<std::string, int>> bundle_presets()
{
    std::ifstream in(std::string(KORVA_LV2_BUNDLE) + "/presets.ttl");
    std::map<std::string, std::map<std::string, int>> presets;
    std::string line, label, symbol;
    while (std::getline(in, line)) {
        const auto quoted = [&](const char *key) {
            const size_t at = line.find(key);
            if (at == std::string::npos)
                return std::string();
            const size_t open = line.find('"', at), close = line.find('"', open + 1);
            return line.substr(open + 1, close - open - 1);
        };
        if (line.find("rdfs:label") != std::string::npos)
            label = quoted("rdfs:label");
        else if (line.find("lv2:symbol") != std::string::npos)
            symbol = quoted("lv2:symbol");
        else if (line.find("pset:value") != std::string::npos)
            presets[label][symbol] = static_cast<int>(std::stod(line.substr(line.find("pset:value") + 10)));
    }
    return presets;
}

// Where the window shows a port, for the ports one widget shows whole.
const std::map<std::string, std::string> kShownBy = {
    {"enable_global", "chkEnable"},     {"chain_index", "chChainer"},        {"superbass", "slSuperBass"},
    {"dewoofer", "slDeWoofer"},         {"fidelity", "slFidelity"},          {"enable_3dsurround", "chk3DSurround"},
    {"enable_extspace", "chkExtSpace"}, {"enable_extfx", "chkExtFX"},        {"enable_vs", "chkVS"},
    {"enable_bw", "chkBW"},             {"_3dsurround_mode", "ch3DSurround"}, {"_3dsurround_depth", "sl3DDepth"},
    {"_3dsurround_bass", "sl3DBass"},   {"extspace_mode", "chExtSpace"},     {"extfx_mode", "chExtFX"},
    {"extfx_space", "slSpace"},         {"extfx_center", "slCenter"},        {"vs_mode", "chVS"},
    {"vs_overdrive", "slOverdrive"},    {"vs_intensity", "slIntensity"},     {"spc_swapstereo", "chkSwap"},
    {"spc_phaseinvert", "chkPhaseInv"}, {"spc_mode", "chkFQ"},               {"spc_debass", "slFQDeBass"},
    {"spc_detube", "slFQDeTube"},       {"spc_mid", "slFQMid"},              {"spc_high", "slFQHigh"},
};

class JalvHostTest : public ::testing::Test {
protected:
    ScratchDir dir;
    std::unique_ptr<Background> jackd, metro;
    std::vector<std::unique_ptr<Jalv>> hosts;

    void SetUp() override
    {
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        setenv("JACK_DEFAULT_SERVER", ("korva-jalv-" + std::to_string(getpid())).c_str(), 1);
        jackd = std::make_unique<Background>(
            std::vector<std::string>{"jackd", "-S", "-n", std::getenv("JACK_DEFAULT_SERVER"), "-d", "dummy", "-r",
                                     std::to_string(kJackRate), "-p", "256"},
            dir.file("jackd.log"));
        ASSERT_TRUE(eventually(10, [] { return !ask({"jack_lsp"}).empty(); })) << "jackd did not start";
        metro = std::make_unique<Background>(std::vector<std::string>{"jack_metro", "-n", "metro", "-b", "300", "-f",
                                                                      "440", "-A", "0.5", "-D", "100"},
                                             dir.file("metro.log"));
        ASSERT_TRUE(eventually(10, [] { return ask({"jack_lsp"}).find("metro:300_bpm") != std::string::npos; }));
    }

    // A jalv.qt5 with the plug-in fed by the metronome, once its window shows.
    Jalv &open(int x)
    {
        const std::string before = ask({"jack_lsp"});
        hosts.push_back(std::make_unique<Jalv>(dir, "jalv" + std::to_string(hosts.size()), x));
        Jalv &host = *hosts.back();
        widget_map::Widget w;
        EXPECT_TRUE(host.find("chkEnable", w, 30)) << "jalv.qt5 shows no window: " << read_file(host.program->log);
        EXPECT_TRUE(eventually(10, [&] {
            std::istringstream ports(ask({"jack_lsp"}));
            for (std::string port; std::getline(ports, port);)
                if (port.size() > 5 && port.compare(port.size() - 5, 5, ":in_l") == 0 &&
                    before.find(port) == std::string::npos)
                    host.client = port.substr(0, port.size() - 5);
            return !host.client.empty();
        }));
        for (const char *side : {":in_l", ":in_r"}) {
            ask({"jack_connect", "metro:300_bpm", host.client + side});
            EXPECT_NE(ask({"jack_lsp", "-c", host.client + side}).find("metro:300_bpm"), std::string::npos) << side;
        }
        return host;
    }

    void TearDown() override
    {
        hosts.clear();
        metro.reset();
        jackd.reset();
    }
};

constexpr long kSettle = kJackRate / 4;   // frames before the fresh run meets the plug-in

TEST_F(JalvHostTest, ClicksKeysAndDragsReachThePlugin)
{
    Jalv &host = open(0);
    const Recording at_start = record(dir, host.client, 2);
    EXPECT_EQ(differences(dir, at_start, {}, kSettle), 0) << "the defaults";

    // A click unticks "Enable effects".
    ASSERT_TRUE(host.click_check("chkEnable"));
    ASSERT_TRUE(host.shows("chkEnable", 0));
    pause_for(300);
    const Recording off = record(dir, host.client, 2);
    EXPECT_EQ(differences(dir, off, {"--set", "enable_global=0"}, kSettle), 0);
    EXPECT_GT(differences(dir, off, {}, kSettle), 1000) << "the setting must be audible";

    // A key (space) ticks it again; a click adds extSpace, so that the chain's
    // order is heard; keys pick in an option menu; a drag moves a slider.
    ASSERT_TRUE(widget_map::keys({"space"}));
    ASSERT_TRUE(host.shows("chkEnable", 1));
    ASSERT_TRUE(host.click_check("chkExtSpace"));
    ASSERT_TRUE(host.shows("chkExtSpace", 1));
    ASSERT_TRUE(host.menu_keys("chChainer", {"Down", "Down", "Return"}));
    ASSERT_TRUE(host.shows("chChainer", 2));
    ASSERT_TRUE(host.drag_thumb("slSuperBass", 150));
    ASSERT_TRUE(eventually(5, [&] { return host.shown("slSuperBass") > 40; }));
    const int superbass = host.settled("slSuperBass");
    const Recording changed = record(dir, host.client, 2);
    const std::string sb = "superbass=" + std::to_string(superbass);
    EXPECT_EQ(differences(dir, changed, {"--set", "enable_extspace=1", "--set", "chain_index=2", "--set", sb}, kSettle),
              0) << sb;
    EXPECT_GT(differences(dir, changed, {"--set", "enable_extspace=1", "--set", "chain_index=2"}, kSettle), 1000)
        << "the drag must be audible";
    EXPECT_GT(differences(dir, changed, {"--set", "enable_extspace=1", "--set", sb}, kSettle), 1000)
        << "the pick must be audible";
}

TEST_F(JalvHostTest, PresetFromTheHostsMenuShowsInTheWindow)
{
    Jalv &host = open(0);
    const auto presets = bundle_presets();
    ASSERT_GE(presets.size(), 3u);
    const std::string chosen = "Small speakers";   // differs from the defaults on the first page; no oscillator
    const auto found = presets.find(chosen);
    ASSERT_NE(found, presets.end());
    // jalv.qt5 lists the presets by label: the menu bar's File opened with a
    // click at its left end, Right to Presets (its first item selected), then
    // Down to the chosen one.
    std::vector<std::string> keys = {"Right"};
    for (auto at = presets.begin(); at != found; ++at)
        keys.push_back("Down");
    keys.push_back("Return");
    widget_map::Widget top;
    ASSERT_TRUE(host.find("chkEnable", top));
    ASSERT_TRUE(widget_map::click(12, 10));
    pause_for(700);
    ASSERT_TRUE(widget_map::keys(keys));

    std::vector<std::string> settings;
    for (const auto &[symbol, value] : found->second)
        settings.insert(settings.end(), {"--set", symbol + "=" + std::to_string(value)});
    // Every page, each opened by a click on its tab (a page's widgets are
    // in the map once it has been shown).
    ASSERT_TRUE(host.shows("slSuperBass", found->second.at("superbass")));
    std::set<std::string> compared;
    for (int page = 0;; ++page) {
        widget_map::Widget tab;
        if (!host.find("TAB:notebook1:" + std::to_string(page), tab, 2))
            break;
        ASSERT_TRUE(widget_map::click(tab.x + tab.w / 2, tab.y + tab.h / 2));
        const widget_map::Map now = host.fresh_map();
        for (const auto &[symbol, widget] : kShownBy) {
            const auto at = now.widgets.find(widget);
            if (at == now.widgets.end() || !at->second.visible || !compared.insert(symbol).second)
                continue;
            EXPECT_EQ(host.shown(widget), found->second.at(symbol)) << symbol << " (page " << page << ")";
        }
    }
    EXPECT_EQ(compared.size(), kShownBy.size());
    EXPECT_EQ(differences(dir, record(dir, host.client, 2), settings, kSettle), 0) << "the plug-in has the preset";
}

// Two hosts (two jalv.qt5 processes): input to one window changes neither
// the other window nor what the other plug-in renders. Two instances in one
// process are lv2ui_suil_host's.
TEST_F(JalvHostTest, TwoHostsNeverAffectEachOther)
{
    Jalv &a = open(0);
    Jalv &b = open(640);
    ASSERT_TRUE(a.click_check("chkEnable"));
    ASSERT_TRUE(a.shows("chkEnable", 0));
    ASSERT_TRUE(a.drag_thumb("slSuperBass", 150));
    ASSERT_TRUE(eventually(5, [&] { return a.shown("slSuperBass") > 40; }));
    const int superbass = a.settled("slSuperBass");
    EXPECT_EQ(b.shown("chkEnable"), 1);
    EXPECT_EQ(b.shown("slSuperBass"), 0);
    EXPECT_EQ(differences(dir, record(dir, b.client, 2), {}, kSettle), 0) << "the other plug-in keeps the defaults";
    EXPECT_EQ(differences(dir, record(dir, a.client, 2),
                          {"--set", "enable_global=0", "--set", "superbass=" + std::to_string(superbass)},
                          kSettle),
              0);
}

}  // namespace

// The sink in a private PipeWire, as on a desktop: `korva sink install`
// writes the fragment into a temporary home, a daemon with a dummy driver
// and a null sink (test_out) loads it, wireplumber links it, and pw-play
// sends a 16-bit file through it while pw-record takes test_out's monitor.
// PipeWire converts s16 to float as s/32768 and back as round(x*32768), which
// the plug-in's own conversion undoes exactly: the recording must equal
// `korva process` sample for sample. A second play changes a control live
// with `korva sink set`; the changes land in the node and in the fragment, a
// client following the node sees them, and after PipeWire restarts the sink
// comes back with them.
#include "private_pipewire.h"
#include "cli/sink/run_program.h"
#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_store.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace pipewire_test;

const std::vector<std::string> kSettings = {"--set", "superbass=160", "--set", "enable_vs=1",
                                            "--set", "enable_extfx=1", "--set", "spc_mode=1"};

// What a window would keep: the states and the values a client reported.
struct Seen {
    std::mutex lock;
    std::vector<KorvaSinkState> states;
    KorvaSinkValues values{};

    static void state(void *data, KorvaSinkState state)
    {
        Seen *seen = static_cast<Seen *>(data);
        std::lock_guard<std::mutex> hold(seen->lock);
        seen->states.push_back(state);
    }
    static void changed(void *data, const KorvaSinkValues *values)
    {
        Seen *seen = static_cast<Seen *>(data);
        std::lock_guard<std::mutex> hold(seen->lock);
        seen->values = *values;
    }
    double value(const char *name)
    {
        std::lock_guard<std::mutex> hold(lock);
        const int i = static_cast<int>(korva_param_field_find(name) - korva_param_fields);
        return values.present[i] ? values.value[i] : std::nan("");
    }
    bool went_through(KorvaSinkState state)
    {
        std::lock_guard<std::mutex> hold(lock);
        return std::find(states.begin(), states.end(), state) != states.end();
    }
};


} // namespace

TEST(SinkPipeWire, DesktopSoundThroughTheSinkEqualsKorvaProcessAndSetChangesItLive)
{
    const std::string plugin = sink_plugin(KORVA_BUILT_PLUGIN);
    if (plugin.empty())
        GTEST_SKIP() << "no Korva LADSPA plug-in in this build (korva_ladspa target) and KORVA_LADSPA_PLUGIN unset";
    if (const std::string missing = pipewire_missing(); !missing.empty())
        GTEST_SKIP() << missing;

    ScratchDir dir;
    enter_private_session(dir);
    // The plug-in in a folder whose name PipeWire's configuration must quote.
    const std::string folder = dir.file("Korva \"plug-ins\" \\ mine");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(plugin, folder + "/korva.so");
    setenv("KORVA_LADSPA_PLUGIN", (folder + "/korva.so").c_str(), 1);

    std::vector<std::string> install = {"sink", "install"};
    install.insert(install.end(), kSettings.begin(), kSettings.end());
    const RunResult installed = run_korva(install);
    ASSERT_EQ(installed.exit_code, 0) << installed.err;
    ASSERT_TRUE(write_server_config(dir.file("config/pipewire/pipewire.conf"))) << kServerTemplate << " changed shape";

    // One daemon reads its configuration and the user's fragment, as on a desktop.
    Desktop desktop = start_desktop(dir, "first");
    if (desktop.session == nullptr)
        GTEST_SKIP() << "PipeWire cannot start on this machine:\n" << read_file(desktop.server->log);
    ASSERT_TRUE(desktop.linked) << "the sink was not linked to test_out\n" << read_file(desktop.server->log)
                                << read_file(desktop.session->log);
    const RunResult status = run_korva({"sink", "status"});
    EXPECT_NE(status.out.find("running: yes"), std::string::npos) << status.out << status.err;
    EXPECT_NE(status.out.find(" superbass=160 ", status.out.find("\nlive:")), std::string::npos)
        << "the live controls:\n" << status.out;

    // Four seconds of signal, then one of silence that carries the last
    // frames through to the recorder.
    Audio input = make_signal(4 * kRate, 2, kRate);
    const long signal_frames = input.frames();
    input.samples.resize(input.samples.size() + 2 * kRate, 0);
    const std::string input_path = dir.file("in.wav");
    write_audio(input_path, input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    auto processed = [&](const std::vector<std::string> &extra, const std::string &name) {
        std::vector<std::string> args = {"process", input_path, dir.file(name), "--quiet"};
        args.insert(args.end(), kSettings.begin(), kSettings.end());
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(run_korva(args).exit_code, 0);
        return read_audio(dir.file(name));
    };
    const Audio expected = processed({}, "expected.wav");

    const Audio first = play_and_record(dir, input_path, "first");
    const Alignment a = align(first, expected);
    ASSERT_GE(a.offset, 0) << "the recording holds no sound";
    ASSERT_GE(a.compared, signal_frames) << "the recording ends early";
    std::printf("first play: sound starts at recorded frame %ld, %ld frames compared\n", a.offset, a.compared);
    const long mismatch = first_difference(first, expected, a, 0, a.compared);
    EXPECT_EQ(mismatch, a.compared) << "first difference at frame " << mismatch << ": recorded "
                                    << frame_text(first, a.offset + mismatch) << ", korva process "
                                    << frame_text(expected, mismatch);

    // The idle sink suspends, which starts the plug-in afresh for the next play.
    EXPECT_TRUE(eventually(15, [] {
        return ask({"pw-cli", "info", "korva_sink"}).find("state: \"suspended\"") != std::string::npos;
    }));

    // Phase invert switched on a second into the second play: up to some
    // frame the recording is the default output, from there on all of it
    // is the inverted output.
    const Audio inverted = processed({"--set", "spc_phaseinvert=1"}, "inverted.wav");
    RunResult set;
    const Audio second = play_and_record(dir, input_path, "second", [&] {
        pause_for(1000);
        set = run_korva({"sink", "set", "spc_phaseinvert=1"});
    });
    ASSERT_EQ(set.exit_code, 0) << set.err;
    const Alignment b = align(second, expected);
    ASSERT_GE(b.offset, 0) << "the recording holds no sound";
    ASSERT_GE(b.compared, signal_frames) << "the recording ends early";
    const long change = first_difference(second, expected, b, 0, b.compared);
    std::printf("second play: %ld frames compared, phase invert from frame %ld on\n", b.compared, change);
    EXPECT_GT(change, 0) << "the recording should start with the output before the change";
    EXPECT_LT(change, signal_frames) << "korva sink set did not change the sound";
    const long after = first_difference(second, inverted, b, change, b.compared);
    EXPECT_EQ(after, b.compared) << "from frame " << change << " on the recording should be the inverted output; "
                                 << "frame " << after << " differs";

    // A client as a window holds it: connected, and told of outside changes.
    Seen seen;
    const KorvaSinkCallbacks callbacks{Seen::state, Seen::changed, &seen};
    char error[256] = "";
    std::unique_ptr<KorvaSinkClient, void (*)(KorvaSinkClient *)> client(
        korva_sink_client_new(&callbacks, error, sizeof error), korva_sink_client_free);
    ASSERT_NE(client, nullptr) << error;
    ASSERT_EQ(korva_sink_client_wait(client.get(), 5000), KORVA_SINK_CONNECTED);
    EXPECT_EQ(seen.value("spc_phaseinvert"), 1.0);

    // Every field is checked before anything is sent: a bad one anywhere
    // changes nothing, live or saved.
    const std::string fragment = dir.file("config/pipewire/pipewire.conf.d/korva-sink.conf");
    const RunResult bad = run_korva({"sink", "set", "preamp=5", "superbas=1"});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("unknown field"), std::string::npos) << bad.err;
    EXPECT_EQ(live_value("preamp"), 128.0);
    EXPECT_EQ(saved_value(fragment, "preamp"), 128.0);

    // Values beyond the plug-in's ranges are clamped with a warning, and the
    // set lands whole, in the node and in the fragment.
    const RunResult clamped = run_korva({"sink", "set", "superbass=2147483647", "preamp=-1", "enable_extfx=300"});
    EXPECT_EQ(clamped.exit_code, 0) << clamped.err;
    EXPECT_NE(clamped.err.find("superbass=2147483647 is outside the plug-in's range 0..256: the sink uses 256"),
              std::string::npos) << clamped.err;
    const std::vector<std::pair<const char *, double>> changed = {
        {"superbass", 256}, {"preamp", 0}, {"enable_extfx", 1}, {"spc_phaseinvert", 1}};
    for (const auto &[name, value] : changed) {
        EXPECT_EQ(live_value(name), value) << name;
        EXPECT_EQ(saved_value(fragment, name), value) << name;
        EXPECT_TRUE(eventually(5, [&, name = name, value = value] { return seen.value(name) == value; })) << name;
    }
    // --no-save changes the node only.
    ASSERT_EQ(run_korva({"sink", "set", "--no-save", "extspace_mode=2"}).exit_code, 0);
    EXPECT_EQ(live_value("extspace_mode"), 2.0);
    EXPECT_EQ(saved_value(fragment, "extspace_mode"), 1.0);

    // PipeWire restarts: the client says so and connects again, and the
    // sink comes back with the saved values.
    desktop = Desktop{};
    EXPECT_TRUE(eventually(10, [&] { return korva_sink_client_state(client.get()) == KORVA_SINK_PIPEWIRE_DOWN; }));
    // A node of that name that is not Korva's (a stream named korva_sink, in
    // a PipeWire without the fragment) is refused, and the client says so.
    std::filesystem::rename(fragment, fragment + ".away");
    {
        Background server({"pipewire"}, dir.file("impostor-pipewire.log"));
        ASSERT_TRUE(eventually(10, [] { return !ask({"pw-cli", "info", "0"}).empty(); }));
        Background impostor({"pw-play", "-P", "node.name=korva_sink", input_path}, dir.file("impostor.log"));
        EXPECT_TRUE(eventually(10, [&] { return korva_sink_client_state(client.get()) == KORVA_SINK_NOT_KORVA; }))
            << read_file(impostor.log);
        const RunResult refused = run_korva({"sink", "set", "--no-save", "preamp=3"});
        EXPECT_EQ(refused.exit_code, 1);
        EXPECT_NE(refused.err.find("is not Korva's sink"), std::string::npos) << refused.err;
    }
    std::filesystem::rename(fragment + ".away", fragment);

    Desktop again = start_desktop(dir, "second");
    ASSERT_TRUE(again.linked) << "the sink did not come back\n" << read_file(again.server->log);
    EXPECT_TRUE(eventually(10, [&] { return korva_sink_client_state(client.get()) == KORVA_SINK_CONNECTED; }));
    for (const auto &[name, value] : changed) {
        EXPECT_EQ(live_value(name), value) << name;
        EXPECT_TRUE(eventually(5, [&, name = name, value = value] { return seen.value(name) == value; })) << name;
    }
    EXPECT_EQ(live_value("extspace_mode"), 1.0) << "a --no-save change is gone after the restart";
    EXPECT_TRUE(seen.went_through(KORVA_SINK_PIPEWIRE_DOWN));
}

// korva sink follow in a private PipeWire with three null sinks and
// wireplumber: profiles for "spk" and "hp" (preset files) and a fallback (a
// factory preset). Korva's output stream is moved between the sinks with
// pw-metadata, as a desktop's sound settings do, and each time the sink's
// controls must become the profile's preset in every field but the three a
// preset load keeps (here set by hand beforehand). The delay is measured and
// printed. A restart of follow on the same output keeps a change made by
// hand; a profile whose preset file is gone leaves the controls alone and
// says why. Follow holds one PipeWire connection: pw-dump shows one client
// of its process. With Korva as the default output, a call's stream and an
// excluded program's stream reach test_out untouched (the recording equals
// the file), while a music stream goes through Korva.
#include "tests/cli/cli_harness.h"
#include "sinkfiles/follow_state.h"
#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_store.h"
#include "tests/sink/private_pipewire.h"
#include "preset_file/preset_file.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

using namespace pipewire_test;
using korva::sinkfiles::read_follow_state;

bool is_kept_switch(int field)
{
    const std::string name = korva_param_fields[field].name;
    return name == "enable_global" || name == "spc_swapstereo" || name == "spc_phaseinvert";
}

// The id of the node korva_sink.output, from pw-dump's first "id".
std::string output_stream_id()
{
    const std::string dump = ask({"pw-dump", "korva_sink.output"});
    const auto at = dump.find("\"id\": ");
    return at == std::string::npos ? std::string() : dump.substr(at + 6, dump.find(',', at) - at - 6);
}

struct Sink {
    std::unique_ptr<KorvaSinkClient, void (*)(KorvaSinkClient *)> client{nullptr, korva_sink_client_free};

    // The sink's controls as a parameter block; false when it does not answer.
    bool read(KorvaParams &params)
    {
        KorvaSinkValues values{};
        if (!korva_sink_client_refresh(client.get(), &values, 2000))
            return false;
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            korva_param_set(&params, &korva_param_fields[i], static_cast<int32_t>(values.value[i]));
        return true;
    }
};

// The first field where `live` is not `preset` (the kept switches being
// `switches`'), or "".
std::string mismatch(const KorvaParams &live, const KorvaParams &preset, const KorvaParams &switches)
{
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const KorvaParamField *field = &korva_param_fields[i];
        const int32_t want = korva_param_get(is_kept_switch(i) ? &switches : &preset, field);
        if (korva_param_get(&live, field) != want)
            return std::string(field->name) + "=" + std::to_string(korva_param_get(&live, field)) + " (want " +
                   std::to_string(want) + ")";
    }
    return "";
}

// How many Client objects of pw-dump belong to the process `pid`.
int clients_of(pid_t pid)
{
    const std::string dump = ask({"pw-dump"});
    const std::string client = "\"type\": \"PipeWire:Interface:Client\"";
    const std::string mark = "\"pipewire.sec.pid\": " + std::to_string(pid);
    int count = 0;
    for (std::size_t at = dump.find(client); at != std::string::npos;) {
        const std::size_t next = dump.find(client, at + 1);
        const std::size_t found = dump.find(mark, at);
        if (found < next && std::string(",\n }").find(dump[found + mark.size()]) != std::string::npos)
            ++count;
        at = next;
    }
    return count;
}

// The recording aligned with `expected` at the first sample louder than
// 1/500 of full scale: what Korva sent of the lead silence before a stream
// was moved past it may hold a few low bits.
Alignment loud_alignment(const Audio &recording, const Audio &expected)
{
    const auto first_loud = [](const Audio &audio) {
        for (std::size_t i = 0; i < audio.samples.size(); ++i)
            if (std::abs(audio.samples[i]) > 64)
                return static_cast<long>(i) / audio.channels;
        return -1L;
    };
    Alignment alignment;
    const long recorded = first_loud(recording), sounding = first_loud(expected);
    if (recorded < 0 || sounding < 0 || recorded < sounding)
        return alignment;
    alignment.offset = recorded - sounding;
    alignment.compared = std::min<long>(expected.frames(), recording.frames() - alignment.offset);
    return alignment;
}

} // namespace

TEST(SinkFollow, EachOutputGetsItsProfileWithinSecondsAndAGonePresetLeavesTheSinkAlone)
{
    const char *plugin = KORVA_BUILT_PLUGIN;
    if (!std::filesystem::exists(plugin))
        GTEST_SKIP() << "no Korva LADSPA plug-in in this build";
    if (!std::filesystem::exists(kServerTemplate) || ask({"pipewire", "--version"}).empty())
        GTEST_SKIP() << "PipeWire is not installed (pipewire-bin)";
    ScratchDir dir;
    enter_private_session(dir);
    setenv("KORVA_LADSPA_PLUGIN", plugin, 1);

    // Two user presets with the switches opposite to the sink's, so keeping
    // them shows; the fallback is a factory preset named with a space.
    const std::string spk = dir.file("spk.kp"), hp = dir.file("hp.kp");
    ASSERT_EQ(run_korva({"preset", "save", spk, "--set", "superbass=200", "--set", "enable_vs=1", "--set",
                         "spc_mode=1", "--set", "enable_global=0", "--set", "spc_phaseinvert=1"}).exit_code, 0);
    ASSERT_EQ(run_korva({"preset", "save", hp, "--set", "preamp=180", "--set", "enable_3dsurround=1", "--set",
                         "superbass=0", "--set", "spc_swapstereo=0"}).exit_code, 0);
    ASSERT_EQ(run_korva({"sink", "profile", "set", "spk", spk}).exit_code, 0);
    ASSERT_EQ(run_korva({"sink", "profile", "set", "hp", hp}).exit_code, 0);
    ASSERT_EQ(run_korva({"sink", "profile", "set", "--fallback", "Late night"}).exit_code, 0);
    KorvaParams spk_preset, hp_preset, fallback_preset;
    ASSERT_EQ(korva_read_preset(spk.c_str(), &spk_preset), 1);
    ASSERT_EQ(korva_read_preset(hp.c_str(), &hp_preset), 1);
    ASSERT_EQ(korva_read_preset((std::string(KORVA_FACTORY_PRESETS) + "/late-night.kp").c_str(), &fallback_preset), 1);

    const RunResult installed = run_korva({"sink", "install", "--set", "spc_swapstereo=1"});
    ASSERT_EQ(installed.exit_code, 0) << installed.err;
    EXPECT_NE(installed.out.find("systemctl --user enable --now korva-follow.service"), std::string::npos)
        << "without a user systemd the command is printed:\n" << installed.out;
    ASSERT_TRUE(write_server_config(dir.file("config/pipewire/pipewire.conf"), 48000, {"spk", "hp", "third"}));
    Desktop desktop = start_desktop(dir, "follow", "");
    if (desktop.session == nullptr)
        GTEST_SKIP() << "PipeWire cannot start on this machine:\n" << read_file(desktop.server->log);
    ASSERT_TRUE(desktop.linked) << read_file(desktop.session->log);
    KorvaParams switches;
    korva_default_params(&switches);
    switches.spc_swapstereo = 1;

    Sink sink;
    char error[256] = "";
    sink.client.reset(korva_sink_client_new(nullptr, error, sizeof error));
    ASSERT_NE(sink.client, nullptr) << error;
    ASSERT_EQ(korva_sink_client_wait(sink.client.get(), 5000), KORVA_SINK_CONNECTED);

    // Follow runs in a folder holding a file named as the factory fallback:
    // the profile's bare name still means the factory preset.
    ASSERT_EQ(run_korva({"preset", "save", dir.file("Late night"), "--set", "superbass=5"}).exit_code, 0);
    const std::string here = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    auto follow = std::make_unique<Background>(std::vector<std::string>{KORVA_BIN, "sink", "follow"},
                                               dir.file("follow.log"));
    ASSERT_EQ(chdir(here.c_str()), 0);
    const std::string stream = output_stream_id();
    ASSERT_FALSE(stream.empty());
    const std::string state_file = dir.file("runtime/korva/follow-state");
    EXPECT_TRUE(eventually(10, [&] { return read_follow_state(state_file)["sink"] == "connected"; }))
        << read_file(state_file);
    EXPECT_EQ(clients_of(follow->pid), 1) << "follow's PipeWire clients in pw-dump";
    KorvaParams live;
    // Moves Korva's output and waits for the controls; the delay in ms, or -1.
    auto move_and_wait = [&](const std::string &target, const KorvaParams &preset) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(ask({"pw-metadata", stream, "target.object", target}).empty());
        std::string last;
        for (int i = 0; i < 400; ++i) {   // 10 seconds at the most
            if (korva_linked_to(target) && sink.read(live) && (last = mismatch(live, preset, switches)).empty()) {
                const auto took = std::chrono::steady_clock::now() - start;
                return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
            }
            pause_for(25);
        }
        ADD_FAILURE() << "moved to " << target << ", the controls differ: " << last << "\n"
                      << read_file(follow->log) << read_file(state_file);
        return -1L;
    };

    for (const auto &[target, preset] : {std::pair<std::string, const KorvaParams *>{"hp", &hp_preset},
                                         {"spk", &spk_preset}, {"third", &fallback_preset}, {"hp", &hp_preset}}) {
        const long delay = move_and_wait(target, *preset);
        std::printf("moved to %s: the profile's preset in force after %ld ms\n", target.c_str(), delay);
        EXPECT_GE(delay, 0);
    }
    // The state is written just after the controls are sent.
    EXPECT_TRUE(eventually(5, [&] {
        auto state = read_follow_state(state_file);
        return state["output"] == "hp" && state["applied"] == "yes" && state["preset"] == hp;
    })) << read_file(state_file);

    // Saved as the sink's settings too.
    KorvaFragmentContents saved{};
    KorvaFragmentError fragment_error{};
    ASSERT_TRUE(korva_fragment_read(dir.file("config/pipewire/pipewire.conf.d/korva-sink.conf").c_str(), &saved,
                                    &fragment_error)) << fragment_error.message;
    const int preamp = static_cast<int>(korva_param_field_find("preamp") - korva_param_fields);
    EXPECT_EQ(saved.controls.value[preamp], 180.0);

    // A change by hand survives follow's restart on the same output.
    ASSERT_EQ(run_korva({"sink", "set", "superbass=77"}).exit_code, 0);
    follow.reset();
    follow = std::make_unique<Background>(std::vector<std::string>{KORVA_BIN, "sink", "follow"},
                                          dir.file("follow-again.log"));
    EXPECT_TRUE(eventually(10, [&] { return read_follow_state(state_file)["applied"] == "kept"; }))
        << read_file(state_file);
    ASSERT_TRUE(sink.read(live));
    EXPECT_EQ(live.superbass, 77);

    // spk's preset is gone: moving there leaves the controls as they are.
    std::filesystem::remove(spk);
    ASSERT_FALSE(ask({"pw-metadata", stream, "target.object", "spk"}).empty());
    EXPECT_TRUE(eventually(10, [&] { return read_follow_state(state_file)["output"] == "spk"; }))
        << read_file(state_file);
    const std::string problem = read_follow_state(state_file)["problem"];
    EXPECT_NE(problem.find(spk + ": cannot load preset"), std::string::npos) << problem;
    EXPECT_EQ(read_follow_state(state_file)["applied"], "no");
    ASSERT_TRUE(sink.read(live));
    EXPECT_EQ(live.superbass, 77);
    EXPECT_EQ(mismatch(live, hp_preset, switches), "superbass=77 (want 0)");
    const RunResult status = run_korva({"sink", "status"});
    for (const char *line : {"\n  spk\n", "\n  hp\n", "\n  third\n", "\nkorva plays into: spk\n",
                             "\nfollow: output spk, profile spk"})
        EXPECT_NE(status.out.find(line), std::string::npos) << line << " in\n" << status.out;
    const RunResult list = run_korva({"sink", "profile", "list"});
    EXPECT_NE(list.out.find("(cannot be applied: " + spk), std::string::npos) << list.out;

    // Killed, follow leaves its state behind: it shows as not running.
    follow->stop(SIGKILL);
    const RunResult after = run_korva({"sink", "status"});
    EXPECT_NE(after.out.find("\nfollow: not running"), std::string::npos) << after.out;
    EXPECT_EQ(after.out.find("\nfollow: output"), std::string::npos) << after.out;
}

TEST(SinkFollow, CallsAndExcludedProgramsReachTheOutputWithoutKorva)
{
    const char *plugin = KORVA_BUILT_PLUGIN;
    if (!std::filesystem::exists(plugin))
        GTEST_SKIP() << "no Korva LADSPA plug-in in this build";
    if (!std::filesystem::exists(kServerTemplate) || ask({"pipewire", "--version"}).empty())
        GTEST_SKIP() << "PipeWire is not installed (pipewire-bin)";
    ScratchDir dir;
    enter_private_session(dir);
    setenv("KORVA_LADSPA_PLUGIN", plugin, 1);
    // Phase inverted: what goes through Korva differs from the file everywhere.
    ASSERT_EQ(run_korva({"sink", "install", "--set", "spc_phaseinvert=1"}).exit_code, 0);
    ASSERT_EQ(run_korva({"sink", "apps", "exclude", "Quiet-Player"}).exit_code, 0);
    ASSERT_TRUE(write_server_config(dir.file("config/pipewire/pipewire.conf")));
    Desktop desktop = start_desktop(dir, "bypass");
    if (desktop.session == nullptr)
        GTEST_SKIP() << "PipeWire cannot start on this machine:\n" << read_file(desktop.server->log);
    ASSERT_TRUE(desktop.linked) << read_file(desktop.session->log);
    // Korva is the output in use, as when the user chose it.
    ASSERT_FALSE(ask({"pw-metadata", "0", "default.configured.audio.sink", "{ \"name\": \"korva_sink\" }",
                      "Spa:String:JSON"}).empty());
    Background follow({KORVA_BIN, "sink", "follow"}, dir.file("follow.log"));
    const std::string state_file = dir.file("runtime/korva/follow-state");
    ASSERT_TRUE(eventually(10, [&] { return read_follow_state(state_file)["output"] == "test_out"; }))
        << read_file(state_file) << read_file(follow.log);

    // A second and a half of silence first: the stream starts in Korva and
    // is moved before it sounds.
    Audio input = make_signal(3 * kRate, 2, kRate);
    std::fill(input.samples.begin(), input.samples.begin() + 3 * kRate, 0);
    const std::string input_path = dir.file("in.wav");
    write_audio(input_path, input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    // pw-play sets media.role from --media-role (Music unless told), over
    // what --properties says.
    const struct {
        const char *name;
        std::vector<std::string> player;
        const char *why;   // the reason listed; null when it goes through Korva
    } streams[] = {
        {"call", {"--media-role", "Communication", "--properties", "{ application.name = talk }"}, "call"},
        {"excluded", {"--properties", "{ application.name = quiet-player }"}, "excluded"},
        {"music", {"--properties", "{ application.name = loud-player }"}, nullptr},
    };
    for (const auto &stream : streams) {
        long listed_ms = -1;
        const auto start = std::chrono::steady_clock::now();
        const Audio recording = play_and_record(dir, input_path, stream.name, [&] {
            for (int i = 0; stream.why != nullptr && i < 60 && listed_ms < 0; ++i, pause_for(50))
                if (run_korva({"sink", "apps", "list"}).out.find(std::string(stream.why) + ")\n") != std::string::npos)
                    listed_ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now() - start).count());
        }, stream.player);
        const Alignment alignment = loud_alignment(recording, input);
        ASSERT_GE(alignment.offset, 0) << stream.name << ": nothing was recorded";
        ASSERT_GT(alignment.compared, kRate) << stream.name;
        // pw-play's last part-filled quantum may not reach a sink it plays
        // into directly: the last 4096 frames are not compared.
        const long end = static_cast<long>(alignment.compared) - 4096;
        // From the first sound on: the lead silence may hold Korva's low bits.
        const long differs = first_difference(recording, input, alignment, 3 * kRate / 2, end);
        if (stream.why != nullptr) {
            std::printf("%s: listed as bypassing %ld ms after pw-play started\n", stream.name, listed_ms);
            EXPECT_GE(listed_ms, 0) << stream.name << " never listed as bypassing\n" << read_file(state_file);
            EXPECT_EQ(differs, end) << stream.name << " went through Korva: frame " << differs
                                                   << " is " << frame_text(recording, alignment.offset + differs);
        } else {
            EXPECT_LT(differs, end) << stream.name << " did not go through Korva";
        }
    }

    // PipeWire restarts: follow's one connection says so, connects again as
    // one client, and its parts work again (a call bypasses Korva).
    desktop = Desktop{};
    EXPECT_TRUE(eventually(10, [&] { return read_follow_state(state_file)["pipewire"] == "not running"; }))
        << read_file(state_file);
    Desktop again = start_desktop(dir, "bypass-again");
    ASSERT_TRUE(again.linked) << read_file(again.server->log);
    ASSERT_FALSE(ask({"pw-metadata", "0", "default.configured.audio.sink", "{ \"name\": \"korva_sink\" }",
                      "Spa:String:JSON"}).empty());
    EXPECT_TRUE(eventually(10, [&] {
        auto state = read_follow_state(state_file);
        return state["pipewire"] == "connected" && state["sink"] == "connected" && state["output"] == "test_out";
    })) << read_file(state_file);
    EXPECT_EQ(clients_of(follow.pid), 1) << "follow's PipeWire clients in pw-dump after the restart";
    const Audio recording = play_and_record(dir, input_path, "call-again", {}, streams[0].player);
    const Alignment alignment = loud_alignment(recording, input);
    ASSERT_GT(alignment.compared, kRate);
    const long end = static_cast<long>(alignment.compared) - 4096;
    EXPECT_EQ(first_difference(recording, input, alignment, 3 * kRate / 2, end), end)
        << "after the restart the call went through Korva";
}

// The sink's compare in a private PipeWire. A fragment as an earlier
// install wrote it has no compare node: `compare` says to migrate, and the
// migrated fragment loads. Then, for louder settings of our own and for each
// factory preset, a music-like clip (not the reference the match is measured
// on) is played through each side: the two measure within 0.5 LU with no
// clipped sample, and the bypass side is the input times its gain. A steady
// sine switched between the sides shows no step; a settings change keeps
// the match true; the 32 controls and the fragment never carry the match,
// and a restart is normal listening again.
#include "private_pipewire.h"
#include "compare/compare_live.h"
#include "compare/level_match.h"
#include "engine/param_fields.h"
#include "preset_file/preset_file.h"

#include <gtest/gtest.h>
#include <ebur128.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

namespace {

using namespace pipewire_test;

// Louder than the input: full pre-amplifier, more bass, the subwoofer.
const std::vector<std::string> kLouder = {"preamp=256", "superbass=160", "enable_vs=1", "vs_intensity=120"};

// A music-like clip unlike the reference: 140 beats a minute in E minor, a
// two-oscillator bass, a kick, noise hats and a detuned pad, panned apart.
Audio other_music(double seconds)
{
    Audio audio;
    const long frames = static_cast<long>(seconds * kRate);
    audio.samples.assign(2 * frames, 0);
    const double pi = 3.14159265358979323846, beat = 60.0 / 140.0;
    const double bass_hz[] = {41.2, 49.0, 36.7, 55.0};
    const double pad_hz[][3] = {{329.6, 392.0, 493.9}, {293.7, 370.0, 440.0}, {261.6, 329.6, 392.0}, {246.9, 311.1, 370.0}};
    uint32_t noise = 12345;
    double hat_state = 0.0;
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const int bar = static_cast<int>(t / (4 * beat)) % 4;
        const double in_beat = std::fmod(t, beat), in_half = std::fmod(t, beat / 2);
        const double f = bass_hz[bar];
        const double bass = 0.25 * (std::sin(2 * pi * f * t) + 0.5 * std::sin(4 * pi * f * t) + 0.3 * std::sin(6 * pi * f * t));
        const double kick = 0.45 * std::exp(-in_beat * 18) * std::sin(2 * pi * (50 + 90 * std::exp(-in_beat * 30)) * in_beat);
        noise = noise * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise >> 8) / (1u << 24) * 2 - 1;
        const double hat = 0.12 * std::exp(-in_half * 60) * (white - hat_state);
        hat_state = white;
        double pad_l = 0, pad_r = 0;
        for (int n = 0; n < 3; ++n) {
            const double v = std::sin(2 * pi * pad_hz[bar][n] * t) + 0.6 * std::sin(2 * pi * pad_hz[bar][n] * 1.003 * t);
            pad_l += (n == 0 ? 0.08 : 0.04) * v;
            pad_r += (n == 2 ? 0.08 : 0.04) * v;
        }
        const double fade = std::min({1.0, t / 0.01, (seconds - t) / 0.01});
        const double left = fade * (bass + kick + 0.7 * hat + pad_l), right = fade * (bass + kick + 1.3 * hat + pad_r);
        audio.samples[2 * i] = static_cast<int16_t>(std::lround(std::clamp(left, -1.0, 1.0) * 12000));
        audio.samples[2 * i + 1] = static_cast<int16_t>(std::lround(std::clamp(right, -1.0, 1.0) * 12000));
    }
    return audio;
}

Audio sine(double seconds, double amplitude)
{
    Audio audio;
    const long frames = static_cast<long>(seconds * kRate);
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double fade = std::min({1.0, t / 0.05, (seconds - t) / 0.05});
        const auto s = static_cast<int16_t>(std::lround(fade * amplitude * std::sin(2 * 3.14159265358979323846 * 1000 * t)));
        audio.samples.push_back(s);
        audio.samples.push_back(s);
    }
    return audio;
}

double integrated_lufs(const Audio &audio, long from, long frames)
{
    ebur128_state *state = ebur128_init(2, kRate, EBUR128_MODE_I);
    ebur128_add_frames_short(state, audio.samples.data() + 2 * from, frames);
    double lufs = -HUGE_VAL;
    ebur128_loudness_global(state, &lufs);
    ebur128_destroy(&state);
    return lufs;
}

double compare_value(const std::string &name)
{
    return node_control("compare:" + name);
}

// Every korva: control of the running node.
std::vector<double> live_controls()
{
    std::vector<double> values;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        values.push_back(live_value(korva_param_fields[i].name));
    return values;
}

// The fragment as an install before the compare node wrote it: today's
// without the copy nodes, the compare node and the wiring.
std::string earlier_fragment(std::string text)
{
    text = std::regex_replace(text, std::regex(" *\\{ type = builtin name = input_[lr] label = copy \\}\n"), "");
    text = std::regex_replace(text, std::regex(" *\\{\n *type = ladspa\n *name = compare\n[^}]*\\}\n"), "");
    text = std::regex_replace(text, std::regex(" *links = \\[[^\\]]*\\]\n *inputs = [^\n]*\n *outputs = [^\n]*\n"), "");
    return text;
}

struct SideTake {
    Audio recording;
    Alignment at;
};

SideTake play_side(const ScratchDir &dir, const char *side, const std::string &clip, const Audio &input,
                   const std::string &name)
{
    const RunResult switched = run_korva({"sink", "compare", side});
    EXPECT_EQ(switched.exit_code, 0) << switched.err;
    std::printf("%s", switched.out.c_str());
    SideTake take;
    take.recording = play_and_record(dir, clip, name);
    take.at = align(take.recording, input);
    return take;
}

long clipped(const Audio &audio)
{
    return std::count_if(audio.samples.begin(), audio.samples.end(), [](int16_t s) { return s >= 32767 || s <= -32767; });
}

} // namespace

TEST(SinkCompare, BothSidesMatchInLoudnessAndSwitchWithoutAStep)
{
    const std::string plugin = sink_plugin(KORVA_BUILT_PLUGIN);
    if (plugin.empty())
        GTEST_SKIP() << "no Korva LADSPA plug-in in this build (korva_ladspa target) and KORVA_LADSPA_PLUGIN unset";
    if (const std::string missing = pipewire_missing(); !missing.empty())
        GTEST_SKIP() << missing;
    ScratchDir dir;
    enter_private_session(dir);
    setenv("KORVA_LADSPA_PLUGIN", plugin.c_str(), 1);
    std::vector<std::string> install = {"sink", "install"};
    for (const std::string &setting : kLouder)
        install.insert(install.end(), {"--set", setting});
    ASSERT_EQ(run_korva(install).exit_code, 0);
    ASSERT_TRUE(write_server_config(dir.file("config/pipewire/pipewire.conf"))) << kServerTemplate << " changed shape";
    const std::string fragment = dir.file("config/pipewire/pipewire.conf.d/korva-sink.conf");
    const std::string earlier = earlier_fragment(read_file(fragment));
    ASSERT_EQ(earlier.find("label = korva_compare"), std::string::npos) << earlier;
    ASSERT_EQ(earlier.find("links"), std::string::npos) << earlier;
    write_file(fragment, earlier);

    // An earlier install's sink runs without the compare node.
    Desktop desktop = start_desktop(dir, "earlier");
    if (desktop.session == nullptr)
        GTEST_SKIP() << "PipeWire cannot start on this machine:\n" << read_file(desktop.server->log);
    ASSERT_TRUE(desktop.linked) << read_file(desktop.server->log);
    EXPECT_NE(run_korva({"sink", "status"}).out.find("compare: not available"), std::string::npos);
    const RunResult unmigrated = run_korva({"sink", "compare", "korva"});
    EXPECT_EQ(unmigrated.exit_code, 1);
    EXPECT_NE(unmigrated.err.find("run `korva sink migrate`"), std::string::npos) << unmigrated.err;
    const RunResult migrated = run_korva({"sink", "migrate"});
    ASSERT_EQ(migrated.exit_code, 0) << migrated.err;
    const RunResult before_restart = run_korva({"sink", "compare", "korva"});
    EXPECT_NE(before_restart.err.find("restart PipeWire"), std::string::npos) << before_restart.err;
    desktop = Desktop{};
    desktop = start_desktop(dir, "migrated");
    ASSERT_TRUE(desktop.linked) << read_file(desktop.server->log);
    ASSERT_EQ(compare_value("side"), 0.0) << "the migrated sink has no compare node";

    // A steady sine switched Korva, bypass, Korva: no sample-to-sample
    // difference beyond the sine's own largest step on either side, plus 10 %.
    const double tone_seconds = 7.5;
    const Audio tone = sine(tone_seconds, 8000);
    const std::string tone_path = dir.file("sine.wav");
    Audio tone_padded = tone;
    tone_padded.samples.resize(tone_padded.samples.size() + 2 * kRate, 0);
    write_audio(tone_path, tone_padded, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(run_korva({"sink", "compare", "korva"}).exit_code, 0);
    const RunResult status = run_korva({"sink", "status"});
    EXPECT_NE(status.out.find("compare: Korva playing, lowered ~"), std::string::npos) << status.out;
    const Audio switched = play_and_record(dir, tone_path, "switched", [&] {
        pause_for(2500);
        EXPECT_EQ(run_korva({"sink", "compare", "bypass"}).exit_code, 0);
        pause_for(2500);
        EXPECT_EQ(run_korva({"sink", "compare", "korva"}).exit_code, 0);
    });
    const Alignment s = align(switched, tone);
    ASSERT_GE(s.compared, tone.frames()) << "the recording ends early";
    long where = 0;
    auto largest_step = [&](double from, double to) {
        int step = 0;
        for (long i = s.offset + static_cast<long>(from * kRate) + 1; i < s.offset + static_cast<long>(to * kRate); ++i)
            if (std::abs(switched.samples[2 * i] - switched.samples[2 * i - 2]) > step) {
                step = std::abs(switched.samples[2 * i] - switched.samples[2 * i - 2]);
                where = i;
            }
        return step;
    };
    // Each side steady, half a second in the middle of its stretch.
    const int korva_step = std::max(largest_step(1.0, 1.5), largest_step(6.0, 6.5));
    const int bypass_step = largest_step(3.5, 4.0);
    const int whole = largest_step(0.1, tone_seconds - 0.1);
    std::printf("sine: largest step %d on Korva's side, %d on the bypass, %d across the switches\n", korva_step,
                bypass_step, whole);
    EXPECT_NE(korva_step, bypass_step) << "the sides did not switch";
    EXPECT_LE(whole, 1.1 * std::max(korva_step, bypass_step) + 1)
        << "a switch made a step at frame " << where - s.offset << ": " << frame_text(switched, where - 1) << " "
        << frame_text(switched, where);

    // The clip through each side, for our settings and every factory preset.
    const Audio music = other_music(8.0);
    const std::string music_path = dir.file("music.wav");
    Audio padded = music;   // a second of silence carries the last frames through
    padded.samples.resize(padded.samples.size() + 2 * kRate, 0);
    write_audio(music_path, padded, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const double input_lufs = integrated_lufs(music, 0, music.frames());
    std::vector<std::pair<std::string, std::vector<std::string>>> rows = {{"louder (test)", kLouder}};
    for (const char *name : {"flat", "laptop-speakers", "small-speakers", "headphones", "late-night"}) {
        KorvaParams preset;
        ASSERT_EQ(korva_read_preset((std::string(KORVA_FACTORY_PRESETS) + "/" + name + ".kp").c_str(), &preset), 1)
            << name;
        std::vector<std::string> set;
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            set.push_back(std::string(korva_param_fields[i].name) + "=" +
                          std::to_string(korva_param_get(&preset, &korva_param_fields[i])));
        rows.push_back({name, set});
    }
    std::printf("%-16s %13s %13s %11s %11s %9s\n", "settings", "reference dB", "on clip dB", "Korva LUFS",
                "bypass LUFS", "diff LU");
    for (const auto &[name, settings] : rows) {
        std::vector<std::string> set = {"sink", "set"};
        set.insert(set.end(), settings.begin(), settings.end());
        ASSERT_EQ(run_korva(set).exit_code, 0) << name;
        KorvaParams params;
        korva_default_params(&params);
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            korva_param_set(&params, &korva_param_fields[i], static_cast<int32_t>(live_value(korva_param_fields[i].name)));
        const LevelMatch reference = measure_level_match(params), on_clip = measure_level_match(params, music.samples, kRate);
        const std::vector<double> controls = live_controls();
        const std::string saved = read_file(fragment);
        // The match settles on the music within its first seconds.
        play_side(dir, "korva", music_path, music, name + "-settle");
        const SideTake korva = play_side(dir, "korva", music_path, music, name + "-korva");
        const SideTake bypass = play_side(dir, "bypass", music_path, music, name + "-bypass");
        // The bypass's gain, from the recording: the least-squares ratio.
        double cross = 0, power = 0;
        for (long i = 0; i < 2 * music.frames(); ++i) {
            cross += static_cast<double>(bypass.recording.samples[2 * bypass.at.offset + i]) * music.samples[i];
            power += static_cast<double>(music.samples[i]) * music.samples[i];
        }
        const double level = cross / power;
        ASSERT_GE(korva.at.compared, music.frames()) << name << ": the recording ends early";
        ASSERT_GE(bypass.at.compared, music.frames()) << name << ": the recording ends early";
        const double k = integrated_lufs(korva.recording, korva.at.offset, music.frames());
        const double b = integrated_lufs(bypass.recording, bypass.at.offset, music.frames());
        std::printf("%-16s %+13.2f %+13.2f %11.2f %11.2f %+9.2f   (input %.2f LUFS, bypass gain %.4f)\n", name.c_str(),
                    reference.difference_db, on_clip.difference_db, k, b, k - b, input_lufs, level);
        EXPECT_LE(std::fabs(k - b), 0.5) << name;
        EXPECT_EQ(clipped(korva.recording), 0) << name;
        EXPECT_EQ(clipped(bypass.recording), 0) << name;
        long off = 0, first_off = -1;
        for (long i = 0; i < 2 * music.frames(); ++i)
            if (std::abs(bypass.recording.samples[2 * bypass.at.offset + i] - std::lround(music.samples[i] * level)) > 1 &&
                off++ == 0)
                first_off = i / 2;
        EXPECT_EQ(off, 0) << name << ": samples of the bypass side that are not the input times " << level
                          << ", the first at frame " << first_off << ": " << frame_text(bypass.recording, bypass.at.offset + first_off)
                          << " for " << frame_text(music, first_off);
        EXPECT_EQ(live_controls(), controls) << name << ": the compare changed the controls";
        EXPECT_EQ(read_file(fragment), saved) << name << ": the compare reached the fragment";
    }

    // A change of settings during the compare moves the match with it.
    ASSERT_EQ(run_korva({"sink", "set", "preamp=200", "superbass=0", "enable_vs=0"}).exit_code, 0);
    KorvaParams now;
    korva_default_params(&now);
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        korva_param_set(&now, &korva_param_fields[i], static_cast<int32_t>(live_value(korva_param_fields[i].name)));
    const LevelMatch expected = measure_level_match(now);
    EXPECT_NEAR(compare_value("korva_level"), expected.korva_level, 1e-5);
    EXPECT_NEAR(compare_value("bypass_level"), expected.bypass_level, 1e-5);
    EXPECT_EQ(compare_value("side"), 2.0);

    // So does follow, when it applies the output's profile.
    ASSERT_EQ(run_korva({"sink", "profile", "set", "--fallback", "Late night"}).exit_code, 0);
    {
        Background follow({KORVA_BIN, "sink", "follow"}, dir.file("follow.log"));
        EXPECT_TRUE(eventually(10, [&] {
            return read_file(dir.file("runtime/korva/follow-state")).find("\napplied: yes\n") != std::string::npos;
        })) << read_file(follow.log) << read_file(dir.file("runtime/korva/follow-state"));
        KorvaParams profile;
        korva_default_params(&profile);
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            korva_param_set(&profile, &korva_param_fields[i], static_cast<int32_t>(live_value(korva_param_fields[i].name)));
        const LevelMatch followed = measure_level_match(profile);
        EXPECT_NE(followed.bypass_level, expected.bypass_level) << "the profile should change the match";
        EXPECT_TRUE(eventually(5, [&] {
            return std::fabs(compare_value("korva_level") - followed.korva_level) < 1e-5 &&
                   std::fabs(compare_value("bypass_level") - followed.bypass_level) < 1e-5;
        })) << compare_value("korva_level") << " " << compare_value("bypass_level") << ", want "
            << followed.korva_level << " " << followed.bypass_level << "\n" << read_file(follow.log);
        EXPECT_EQ(compare_value("side"), 2.0);
    }

    // A restart is normal listening, the match gone.
    desktop = Desktop{};
    desktop = start_desktop(dir, "restarted");
    ASSERT_TRUE(desktop.linked);
    EXPECT_EQ(compare_value("side"), 0.0);
    EXPECT_EQ(compare_value("korva_level"), 1.0);
    EXPECT_EQ(compare_value("bypass_level"), 1.0);
    const RunResult off = run_korva({"sink", "compare", "off"});
    EXPECT_EQ(off.exit_code, 0) << off.err;
}

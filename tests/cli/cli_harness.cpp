#include "cli_harness.h"

#include "engine/param_fields.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

RunResult run_korva(const std::vector<std::string> &args, const std::string &stdin_path)
{
    std::vector<std::string> argv{KORVA_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return korva_test::run_captured(argv, {}, false, stdin_path);
}

Audio make_signal(int frames, int channels, int rate, int amplitude, uint32_t seed)
{
    Audio audio;
    audio.rate = rate;
    audio.channels = channels;
    audio.samples.resize(static_cast<std::size_t>(frames) * channels);
    uint32_t noise = seed * 2654435761u + 1;
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        phase += 2.0 * 3.14159265358979 * (50.0 + 8000.0 * i / frames) / rate;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double random = static_cast<double>(noise >> 8) / 16777216.0 - 0.5;
            const double value = 0.7 * std::sin(phase + c) + 0.6 * random;
            audio.samples[static_cast<std::size_t>(i) * channels + c] =
                static_cast<int16_t>(std::clamp(value, -1.0, 1.0) * amplitude);
        }
    }
    return audio;
}

void write_audio(const std::string &path, const Audio &audio, int format)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_short(file, audio.samples.data(), audio.frames()), audio.frames());
    sf_close(file);
}

Audio read_audio(const std::string &path)
{
    Audio audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return audio;
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
    EXPECT_EQ(sf_readf_short(file, audio.samples.data(), info.frames), info.frames);
    sf_close(file);
    return audio;
}

std::vector<int16_t> process_directly(const KorvaParams &params, int rate, const std::vector<int16_t> &stereo)
{
    KorvaEngine *engine = korva_new();
    engine->params = params;
    engine->sample_rate = rate;
    std::vector<int16_t> out(stereo.size());
    korva_process(engine, stereo.data(), out.data(), static_cast<int32_t>(stereo.size() / 2));
    korva_delete(engine);
    return out;
}

KorvaParams params_with(const std::vector<std::string> &assignments)
{
    KorvaParams params{};
    korva_default_params(&params);
    for (const std::string &assignment : assignments) {
        const auto equals = assignment.find('=');
        const KorvaParamField *field = korva_param_field_find(assignment.substr(0, equals).c_str());
        EXPECT_NE(field, nullptr) << assignment;
        if (field != nullptr)
            korva_param_set(&params, field, static_cast<int32_t>(std::stoll(assignment.substr(equals + 1))));
    }
    return params;
}

std::vector<ResponseRow> read_response_csv(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "frequency_hz,left_db,right_db");
    std::vector<ResponseRow> rows;
    while (std::getline(in, line)) {
        ResponseRow r{};
        char comma1 = 0, comma2 = 0;
        std::istringstream fields(line);
        fields >> r.hz >> comma1 >> r.left >> comma2 >> r.right;
        EXPECT_TRUE(fields && comma1 == ',' && comma2 == ',') << line;
        rows.push_back(r);
    }
    return rows;
}

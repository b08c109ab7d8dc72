#include "loudness_match.h"

#include "cli/common/stereo_input.h"
#include "cli/common/float_chain.h"
#include "cli/common/interrupt.h"

#include "engine/engine_handle.h"
#include "engine/sample16.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int pass_frames = 4096;

std::string printf_string(const char *format, auto... values)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

Status needs_a_file(const std::string &input_path)
{
    const std::string why = "--match-loudness reads the input twice (once to measure, once to write)";
    if (input_path == "-")
        return failure(why + " and cannot do so from standard input; give the file's name");
    struct stat status {};
    if (stat(input_path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return failure(input_path + ": " + why + " and needs a regular file, not a pipe or device");
    return success();
}

std::string dbtp_text(double dbtp)
{
    return std::isfinite(dbtp) ? printf_string("%.1f dBTP", dbtp) : std::string("-inf dBTP");
}

} // namespace

int64_t apply_gain(std::span<int16_t> stereo, float gain)
{
    int64_t clipped = 0;
    for (int16_t &sample : stereo) {
        bool clip = false;
        sample = korva::sample16::round_away_symmetric(static_cast<float>(sample) * gain, clip);
        clipped += clip ? 1 : 0;
    }
    return clipped;
}

Status find_match_gain(const std::string &input_path, const KorvaParams &params, bool float_path,
                       double chain_rate, LoudnessRequest &request)
{
    if (Status status = needs_a_file(input_path); !status.ok())
        return status;
    AudioInput input;
    if (Status status = open_input(input_path, input); !status.ok())
        return status;
    EngineHandle engine = make_engine();
    if (!engine)
        return failure("out of memory for the engine");
    engine->params = params;
    LoudnessMeter meter_in, meter_out;
    if (Status status = start_loudness(input.info.samplerate, false, meter_in); !status.ok())
        return failure(input_path + ": " + status.message);
    if (Status status = start_loudness(input.info.samplerate, false, meter_out); !status.ok())
        return failure(input_path + ": " + status.message);

    const int rate = input.info.samplerate;
    FloatChain chain;
    if (float_path)
        if (Status status = start_float_chain(chain, engine.get(), rate, chain_rate, rate); !status.ok())
            return failure(input_path + ": " + status.message);
    std::vector<int16_t> block(2 * pass_frames);
    std::vector<float> float_block(2 * pass_frames), ready;
    for (bool more = true; more;) {
        if (interrupted_signal() != 0)
            return interrupted_failure(input_path);
        int64_t frames = 0;
        Status measured = success();
        if (float_path) {
            if (Status status = read_stereo_float(input, float_block, frames); !status.ok())
                return status;
            const std::span<const float> samples(float_block.data(), static_cast<std::size_t>(2 * frames));
            measured = add_loudness(meter_in, samples);
            const Status ran = frames > 0 ? run_float_chain(chain, samples, ready) : finish_float_chain(chain, ready);
            if (!ran.ok())
                return failure(input_path + ": " + ran.message);
            if (measured.ok())
                measured = add_loudness(meter_out, std::span<const float>(ready));
        } else {
            if (Status status = read_stereo(input, block, frames); !status.ok())
                return status;
            const std::span<int16_t> samples(block.data(), static_cast<std::size_t>(2 * frames));
            measured = add_loudness(meter_in, samples);
            engine->sample_rate = rate;
            korva_process(engine.get(), samples.data(), samples.data(), static_cast<int32_t>(frames));
            if (measured.ok())
                measured = add_loudness(meter_out, samples);
        }
        if (!measured.ok())
            return failure(input_path + ": " + measured.message);
        more = frames > 0;
    }

    const Loudness in = read_loudness(meter_in), out = read_loudness(meter_out);
    request.apply_gain = false;
    if (!in.measured || !out.measured)
        request.note = "not applied: the loudness could not be measured";
    else if (!std::isfinite(in.integrated_lufs))
        request.note = "not applied: the input is silent";
    else if (!std::isfinite(out.integrated_lufs))
        request.note = "not applied: the chain's output is silent";
    else {
        request.apply_gain = true;
        request.gain_db = in.integrated_lufs - out.integrated_lufs;
        request.gain = static_cast<float>(std::pow(10.0, request.gain_db / 20.0));
    }
    return success();
}

std::string format_loudness(const LoudnessReport &report)
{
    if (!report.request.measure)
        return {};
    if (!report.in.measured || !report.out.measured)
        return "loudness:    not measured (the loudness meter could not run on this input)\n";
    std::string text;
    text += printf_string("loudness:    %s in, %s out (integrated)\n", lufs_text(report.in.integrated_lufs).c_str(),
                          lufs_text(report.out.integrated_lufs).c_str());
    text += printf_string("range:       %.1f LU in, %.1f LU out (loudness range)\n", report.in.range_lu,
                          report.out.range_lu);
    if (report.in.has_true_peak || report.out.has_true_peak)
        text += printf_string("true peak:   %s in, %s out\n", dbtp_text(report.in.true_peak_dbtp).c_str(),
                              dbtp_text(report.out.true_peak_dbtp).c_str());
    if (report.request.match) {
        if (report.request.apply_gain)
            text += printf_string("matched:     %+.2f dB after the chain, %lld samples clipped by it\n",
                                  report.request.gain_db, static_cast<long long>(report.clipped));
        else
            text += "matched:     " + report.request.note + "\n";
    }
    return text;
}

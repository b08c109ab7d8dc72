#include "loudness_match.h"

#include "cli/audio/stereo_input.h"
#include "cli/pipeline/stages.h"
#include "resample/chain_rate.h"

#include "engine/engine_handle.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

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
    Status measured = success();
    std::vector<Stage> stages{loudness_stage(meter_in, &measured)};
    if (float_path) {
        Stage down, up;
        if (chain_rate != rate) {
            if (Status status = resample_stage(rate, chain_rate, true, kChainPassbandEnd, input_path, down);
                !status.ok())
                return status;
            stages.push_back(down);
        }
        stages.push_back(chain_float_stage(engine.get(), chain_rate));
        if (chain_rate != rate) {
            if (Status status = resample_stage(chain_rate, rate, true, kChainPassbandEnd, input_path, up);
                !status.ok())
                return status;
            stages.push_back(up);
        }
    } else {
        stages.push_back(chain16_stage(engine.get(), rate));
    }
    stages.push_back(loudness_stage(meter_out, &measured));
    int64_t frames = 0;
    if (Status status = run_pipeline(stereo_reader(input, float_path), stages, {input_path, nullptr}, frames);
        !status.ok())
        return status;
    if (!measured.ok())
        return failure(input_path + ": " + measured.message);

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

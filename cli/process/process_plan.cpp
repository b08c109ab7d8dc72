#include "process_plan.h"

#include "resample/chain_rate.h"

#include <sndfile.h>

#include <algorithm>

namespace {

// The output depth that keeps what an input holds: its libsndfile subtype
// mapped to PCM_16, PCM_24, PCM_32 or FLOAT.
int input_depth(int input_format)
{
    switch (input_format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_24: case SF_FORMAT_ALAC_20: case SF_FORMAT_ALAC_24: case SF_FORMAT_DWVW_24:
        return SF_FORMAT_PCM_24;
    case SF_FORMAT_PCM_32: case SF_FORMAT_ALAC_32:
        return SF_FORMAT_PCM_32;
    case SF_FORMAT_FLOAT:
        return SF_FORMAT_FLOAT;
    case SF_FORMAT_DOUBLE:
        return SF_FORMAT_DOUBLE;
    default:
        return SF_FORMAT_PCM_16;
    }
}

int depth_of_bits(const std::string &bits)
{
    if (bits == "24")
        return SF_FORMAT_PCM_24;
    if (bits == "32")
        return SF_FORMAT_PCM_32;
    if (bits == "float")
        return SF_FORMAT_FLOAT;
    if (bits == "double")
        return SF_FORMAT_DOUBLE;
    return SF_FORMAT_PCM_16;
}

bool holds(const OutputFormat &format, int depth)
{
    return std::find(format.depths.begin(), format.depths.end(), depth) != format.depths.end();
}

std::string samples_label(int samples)
{
    switch (samples) {
    case SF_FORMAT_PCM_24: return "24-bit PCM";
    case SF_FORMAT_PCM_32: return "32-bit PCM";
    case SF_FORMAT_FLOAT: return "32-bit float";
    case SF_FORMAT_DOUBLE: return "64-bit float";
    default: return "16-bit PCM";
    }
}

bool carries(const OutputFormat &format, int rate)
{
    return carried_rate(format, rate) == rate;
}

} // namespace

std::string depth_label(const OutputFormat &format)
{
    return format.lossy ? format.label + " encoder" : samples_label(format.samples);
}

Status plan_process(int input_format, int input_rate, const OutputFormat &format, const std::string &bits,
                    bool native_rate, ProcessPlan &plan)
{
    plan = ProcessPlan{};
    plan.format = format;
    if (format.lossy && !bits.empty())
        return failure("--bits " + bits + ": " + format.label + " has no fixed depth (the encoder takes the "
                       "samples as they are)", 2);
    if (!format.lossy) {
        if (!bits.empty() && !holds(format, depth_of_bits(bits)))
            return failure("--bits " + bits + ": " + format.label + " cannot hold " +
                           samples_label(depth_of_bits(bits)) + "; it holds up to " +
                           samples_label(format.depths.back()), 2);
        const int wanted = bits.empty() ? input_depth(input_format) : depth_of_bits(bits);
        plan.format.samples = holds(format, wanted) ? wanted : format.depths.back();
    }

    plan.chain_rate = native_rate ? input_rate : chain_rate_for(input_rate);
    const bool sixteen_bit_out = format.lossy || plan.format.samples == SF_FORMAT_PCM_16;
    plan.float_path = input_depth(input_format) != SF_FORMAT_PCM_16 || plan.chain_rate != input_rate ||
                      !sixteen_bit_out;

    // The output at the input's rate where the format carries it; a format
    // that cannot (Opus, MP3, and Vorbis or FLAC at the highest rates) gets
    // the chain's rate if it carries that, so that audio is not brought up
    // and down again, and otherwise 48 kHz.
    const auto chain_rate = static_cast<int>(plan.chain_rate);
    if (carries(format, input_rate) || !plan.float_path)
        plan.output_rate = carried_rate(format, input_rate);
    else if (chain_rate == plan.chain_rate && carries(format, chain_rate))
        plan.output_rate = chain_rate;
    else
        plan.output_rate = carried_rate(format, input_rate);
    return success();
}

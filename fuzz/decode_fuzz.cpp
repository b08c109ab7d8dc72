// Any bytes as the input file of `korva process`, through the program's own
// process_file: libsndfile decoding, the mono and channel checks, block-wise
// processing and the temporary output that is renamed only on success.
//
// The first input byte picks the output type and a few parameter fields;
// the rest is the input file.
//
// Properties: the run returns; a failure carries a message naming the input
// or the output and leaves nothing behind but the input; a success, or an
// input that ended early (exit status kExitInputEndedEarly, message naming
// the input), leaves exactly the output file, holding stereo 16-bit audio
// with as many frames as the summary reports.
#include "fuzz_support.h"

#include "cli/process/process_file.h"

#include <sndfile.h>

#include <array>
#include <string>
#include <sys/stat.h>

namespace {

constexpr std::array kOutputs{"out.au", "out.wav", "out.caf", "out.w64"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    korva_fuzz::Input in(data, size);
    const uint8_t choice = in.value<uint8_t>();

    korva_fuzz::clear_scratch();
    ProcessRequest request;
    request.input_path = korva_fuzz::scratch_path("input");
    request.output_path = korva_fuzz::scratch_path(kOutputs[choice % kOutputs.size()]);
    request.quiet = true;
    korva_default_params(&request.params);
    request.params.enable_vs = (choice & 0x10) != 0;
    request.params.spc_mode = (choice & 0x20) != 0;
    request.params.enable_bw = (choice & 0x40) != 0;
    request.params.enable_extfx = (choice & 0x80) != 0;
    korva_fuzz::write_file(request.input_path, in.rest(), in.remaining());

    RunSummary summary;
    const Status status = process_file(request, summary);

    struct stat st {};
    if (status.exit_code == kExitInputEndedEarly)
        FUZZ_CHECK(status.message.find(request.input_path) != std::string::npos);
    if (!status.ok() && status.exit_code != kExitInputEndedEarly) {
        FUZZ_CHECK(!status.message.empty());
        FUZZ_CHECK(status.message.find(request.input_path) != std::string::npos ||
                   status.message.find(request.output_path) != std::string::npos);
        // No partial output, no temporary file.
        FUZZ_CHECK(korva_fuzz::scratch_entries() == 1);
        FUZZ_CHECK(stat(request.output_path.c_str(), &st) != 0);
        return 0;
    }

    FUZZ_CHECK(korva_fuzz::scratch_entries() == 2);
    SF_INFO info {};
    SNDFILE *out = sf_open(request.output_path.c_str(), SFM_READ, &info);
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(info.channels == 2);
    FUZZ_CHECK(info.samplerate == summary.sample_rate);
    FUZZ_CHECK(summary.sample_rate > 0);
    FUZZ_CHECK(info.frames == summary.frames);
    sf_close(out);
    return 0;
}

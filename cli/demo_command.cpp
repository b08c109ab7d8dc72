#include "commands.h"

#include "atomic_output.h"
#include "audio_file.h"
#include "demo_synth.h"
#include "process_file.h"

#include "fileio/directories.h"

#include <cstdio>
#include <cstring>

namespace {

Status write_demo_input(const std::string &path)
{
    const std::vector<int16_t> samples = synthesise_demo();
    AtomicOutput target;
    if (Status status = begin_output(path, target); !status.ok())
        return status;
    AudioOutput output;
    if (Status status = open_output(target.file.fd, path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kDemoRate, output);
        !status.ok())
        return status;
    if (Status status = write_stereo(output, samples); !status.ok())
        return status;
    if (Status status = close_output(output); !status.ok())
        return status;
    return commit_output(target);
}

} // namespace

Status run_demo(const std::string &directory, bool quiet)
{
    if (int why = 0; !korva::fileio::make_directories(directory.c_str(), 0777, &why))
        return failure(directory + ": cannot create the directory: " + std::strerror(why));

    const std::string input_path = directory + "/demo-in.wav";
    const std::string output_path = directory + "/demo-out.wav";
    if (Status status = write_demo_input(input_path); !status.ok())
        return status;

    ProcessRequest request;
    request.input_path = input_path;
    request.output_path = output_path;
    request.quiet = quiet;
    korva_default_params(&request.params);
    RunSummary summary;
    return process_file(request, summary);
}

#include "demo_command.h"

#include "cli/common/atomic_output.h"
#include "cli/audio/audio_output.h"
#include "cli/process/process_file.h"
#include "compare/demo_synth.h"

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
    if (Status status = open_output(target.file.fd, path, wav_format(), kDemoRate, output);
        !status.ok())
        return status;
    if (Status status = write_stereo(output, samples); !status.ok())
        return status;
    if (Status status = close_output(output); !status.ok())
        return status;
    return commit_output(target);
}

} // namespace

CLI::App *add_demo_command(CLI::App &app, DemoOptions &options)
{
    CLI::App *demo = app.add_subcommand("demo", "synthesise a demo clip and process it with the defaults");
    demo->add_option("DIR", options.directory, "where demo-in.wav and demo-out.wav go")->capture_default_str();
    demo->add_flag("-q,--quiet", options.quiet, "print no summary");
    return demo;
}

Status run_demo(const DemoOptions &options)
{
    const std::string &directory = options.directory;
    if (int why = 0; !korva::fileio::make_directories(directory.c_str(), 0777, &why))
        return failure(directory + ": cannot create the directory: " + std::strerror(why));

    const std::string input_path = directory + "/demo-in.wav";
    const std::string output_path = directory + "/demo-out.wav";
    if (Status status = write_demo_input(input_path); !status.ok())
        return status;

    ProcessRequest request;
    request.input_path = input_path;
    request.output_path = output_path;
    request.quiet = options.quiet;
    korva_default_params(&request.params);
    RunSummary summary;
    return process_file(request, summary);
}

#include "commands.h"

#include "process_file.h"

Status run_process(const std::string &input_path, const std::string &output_path,
                   const ParamSources &sources, bool quiet)
{
    ProcessRequest request;
    request.input_path = input_path;
    request.output_path = output_path;
    request.quiet = quiet;
    if (Status status = build_params(sources, request.params); !status.ok())
        return status;
    RunSummary summary;
    return process_file(request, summary);
}

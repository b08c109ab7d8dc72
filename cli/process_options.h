// `korva process`: one file (IN OUT) or many (--out-dir DIR IN...), its
// options and the run that follows them. It sits above both process/ (one
// file) and batch/ (many, each through process/), which it chooses between.
#ifndef KORVA_CLI_PROCESS_OPTIONS_H
#define KORVA_CLI_PROCESS_OPTIONS_H

#include "audio/formats.h"
#include "cli/params/param_sources.h"
#include "cli/common/status.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

struct ProcessOptions {
    std::vector<std::string> paths;   // IN OUT, or with out_dir every input
    ParamSources sources;
    double quality = kDefaultQuality;
    std::string bits;                 // empty: the input's depth (process_plan.h)
    bool native_rate = false;
    bool quiet = false;
    std::string out_dir;              // empty: one file
    bool recursive = false;
    std::string format;
    std::string suffix;
    bool overwrite = false;
    int jobs = 0;                     // 0: the number of cores
    bool true_peak = false;           // one file only
    bool match_loudness = false;      // one file only
};

CLI::App *add_process_command(CLI::App &app, ProcessOptions &options);

Status run_process(const ProcessOptions &options);

#endif

// Which files a batch run reads and where each output goes, decided before
// anything is processed: `korva process --out-dir DIR IN...`.
#ifndef KORVA_CLI_BATCH_PLAN_H
#define KORVA_CLI_BATCH_PLAN_H

#include "cli/common/status.h"

#include <string>
#include <vector>

struct BatchOptions {
    std::string out_dir;
    std::vector<std::string> inputs;   // files, and directories with `recursive`
    bool recursive = false;
    std::string format;                // output extension without the dot; empty: the input's
    std::string suffix;                // added to each output's stem
};

struct BatchItem {
    std::string input;
    std::string output;
    std::string error;   // set when the item cannot run at all (e.g. a directory without --recursive)
};

// A file argument maps to DIR/STEM+SUFFIX.EXT. A directory (with
// `recursive`) contributes its audio files (a known extension, not hidden,
// not inside DIR), in sorted order, each mapped to the same relative place
// under DIR. Refused, naming the files, with exit code 2: two inputs mapping
// to the same output, an output that is one of the inputs (standard input
// redirected from a file included), and a suffix or format holding a '/'.
Status plan_batch(const BatchOptions &options, std::vector<BatchItem> &items);

#endif

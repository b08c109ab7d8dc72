// Loudness in the processing summary, and --match-loudness: one gain after
// the chain so that the output's integrated loudness equals the input's, for
// fair A/B listening (louder always sounds "better").
//
// Matching needs two passes over the input: the first runs the chain and
// measures both loudnesses, the second runs it again from silence, scales
// every engine sample by the gain and writes. So the input must be a file
// that can be read twice: not standard input, not a pipe.
#ifndef KORVA_CLI_LOUDNESS_MATCH_H
#define KORVA_CLI_LOUDNESS_MATCH_H

#include "loudness.h"
#include "cli/common/status.h"

#include "engine/korva.h"

#include <cstdint>
#include <span>
#include <string>

struct LoudnessRequest {
    bool measure = false;      // loudness of input and output in the summary
    bool true_peak = false;    // --true-peak
    bool match = false;        // --match-loudness
    bool apply_gain = false;   // the first pass found a gain to apply
    float gain = 1.0f;
    double gain_db = 0.0;
    std::string note;          // why matching applied no gain, for the summary
};

struct LoudnessReport {
    LoudnessRequest request;
    Loudness in;
    Loudness out;              // of the written output, gain included
    int64_t clipped = 0;       // samples the gain drove past +-32767
};

// The first pass: runs `params` over the whole input from silence, on the
// path the file will take (the float path with the chain at `chain_rate`,
// or the exact 16-bit path), and sets the gain (or the note saying why
// there is none) in `request`.
Status find_match_gain(const std::string &input_path, const KorvaParams &params, bool float_path,
                       double chain_rate, LoudnessRequest &request);

// The summary's loudness lines, each ending in a newline; empty when nothing
// was measured.
std::string format_loudness(const LoudnessReport &report);

#endif

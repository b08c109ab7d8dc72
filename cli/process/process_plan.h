// Which path a file takes through korva process, the rate its chain runs
// at and the depth it is written at, decided once from the input and the
// output's format.
//
// The exact 16-bit path: 16-bit (or 8-bit, or lossy) input at 48 kHz or
// below, written at 16 bits or through a lossy encoder; its output is the
// same bytes as the player plug-in's. Everything else takes the float path
// (float_chain.h): deeper or float input, input above 48 kHz (its chain at
// float_chain.h's chain_rate_for, unless native_rate), or an
// output deeper than 16 bits.
#ifndef KORVA_CLI_PROCESS_PLAN_H
#define KORVA_CLI_PROCESS_PLAN_H

#include "audio/formats.h"
#include "cli/common/status.h"

#include <string>

struct ProcessPlan {
    bool float_path = false;
    double chain_rate = 0.0;   // the rate the engine runs at
    int output_rate = 0;
    OutputFormat format;       // the output's, its samples at the chosen depth
};

// --bits: "16", "24", "32", "float", "double", or "" for the input's depth where the
// format holds it (else the deepest it holds; 16 bits for 8-bit, 16-bit and
// lossy input). A format that cannot hold the depth asked for is a usage
// error (exit 2), as is --bits with a lossy output.
Status plan_process(int input_format, int input_rate, const OutputFormat &format, const std::string &bits,
                    bool native_rate, ProcessPlan &plan);

// "16-bit PCM", "24-bit PCM", "32-bit PCM", "32-bit float", or for a lossy
// output the encoder's name.
std::string depth_label(const OutputFormat &format);

#endif

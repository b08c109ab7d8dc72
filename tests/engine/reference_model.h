// A second, deliberately plain rendering of the processing chain, written
// straight from the arithmetic each stage documents: one frame at a time,
// parameters read from the record at every use, every filter stepped through
// one generic routine, the brainwave phase reduced by the literal loop. The
// engine is optimised; this model is not, and the two must agree bit for bit.
#ifndef KORVA_TESTS_REFERENCE_MODEL_H
#define KORVA_TESTS_REFERENCE_MODEL_H

#include "engine/korva.h"

#include <cstdint>

namespace reference {

// Processes like korva_process, frame by frame, on the same record layout.
void process(KorvaEngine &e, const int16_t *in, int16_t *out, int32_t frames);

}  // namespace reference

#endif

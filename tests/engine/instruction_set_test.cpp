// The frame loop's instruction set: AVX2 where the processor has it, the
// baseline when KORVA_ENGINE_ISA=baseline (ctest runs the engine's tests and
// golden hashes both ways, the second under the suffix .baseline).
#include "engine/instruction_set.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(InstructionSet, TheProcessorChoosesUnlessTheEnvironmentAsksForTheBaseline)
{
    const char *forced = std::getenv("KORVA_ENGINE_ISA");
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && !(forced != nullptr && std::string(forced) == "baseline");
    EXPECT_STREQ(korva::instruction_set_name(korva::engine_instruction_set()), avx2 ? "avx2" : "baseline");
}

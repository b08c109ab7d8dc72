#include "instruction_set.h"

#include <cstdlib>
#include <cstring>

namespace korva {

namespace {

InstructionSet detect()
{
    const char *forced = std::getenv("KORVA_ENGINE_ISA");
    if (forced != nullptr && std::strcmp(forced, "baseline") == 0)
        return InstructionSet::baseline;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return InstructionSet::avx2;
#endif
    return InstructionSet::baseline;
}

}  // namespace

InstructionSet engine_instruction_set()
{
    static const InstructionSet chosen = detect();
    return chosen;
}

const char *instruction_set_name(InstructionSet set)
{
    return set == InstructionSet::avx2 ? "avx2" : "baseline";
}

}  // namespace korva

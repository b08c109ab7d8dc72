// The instruction set the frame loop runs on, chosen once per process: AVX2
// where the processor has it, else the x86-64 baseline (SSE2). The two
// builds of the loop do the same float and double operations in the same
// order, lane for lane, and give the same bytes; AVX2 only does two filters'
// steps in one instruction where the baseline needs two. The environment
// variable KORVA_ENGINE_ISA=baseline chooses the baseline on any processor
// (the tests run both ways).
#ifndef KORVA_ENGINE_INSTRUCTION_SET_H
#define KORVA_ENGINE_INSTRUCTION_SET_H

namespace korva {

enum class InstructionSet { baseline, avx2 };

InstructionSet engine_instruction_set();

const char *instruction_set_name(InstructionSet set);

}  // namespace korva

#endif

// Running another program (PipeWire's command-line tools) and collecting
// what it prints. The program is found on PATH and started without a shell,
// so no argument is ever interpreted.
#ifndef KORVA_CLI_RUN_PROGRAM_H
#define KORVA_CLI_RUN_PROGRAM_H

#include <string>
#include <vector>

struct ProgramRun {
    bool started = false;   // false: not found or could not be started
    bool timed_out = false; // killed after the time limit
    int exit_code = -1;     // 128 + signal when it was killed
    std::string output;     // standard output and standard error together
    std::string problem;    // why it did not start or finish
};

// Runs argv[0] with the arguments, waits at most `seconds`, and returns what
// happened. A program that outlives the limit is killed.
ProgramRun run_program(const std::vector<std::string> &argv, int seconds = 10);

#endif

// SIGINT, SIGTERM and SIGHUP raise a flag; long loops poll it once per block,
// clean up their temporary files and leave with 128 + the signal. A second
// signal while the first is still pending (the program is stuck, e.g. in a
// read from a stalled pipe, which libsndfile retries after a signal) removes
// the registered temporary file inside the handler and exits at once.
#ifndef KORVA_CLI_INTERRUPT_H
#define KORVA_CLI_INTERRUPT_H

#include "status.h"

#include <string>

// Installs the handlers and ignores SIGPIPE, so a closed pipe becomes a write
// error instead of a kill.
void install_interrupt_handlers();

// The signal that arrived, or 0.
int interrupted_signal();

// The failure of a run stopped by the signal that arrived: "WHAT: interrupted
// by Interrupt; OUTCOME" with exit status 128 + the signal (WHAT left out
// when empty).
Status interrupted_failure(const std::string &what, const std::string &outcome = "no output written");

// The temporary file a second signal removes; null when there is none. Each
// thread has its own entry (up to kTemporarySlots threads), so parallel
// workers each register the file they are writing.
void register_temporary_file(const char *path);

inline constexpr int kTemporarySlots = 64;

#endif

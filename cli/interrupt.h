// SIGINT, SIGTERM and SIGHUP only raise a flag; long loops poll it once per
// block, clean up their temporary files and leave with 128 + the signal.
#ifndef KORVA_CLI_INTERRUPT_H
#define KORVA_CLI_INTERRUPT_H

// Installs the handlers (without SA_RESTART, so a blocked write returns) and
// ignores SIGPIPE, so a closed pipe becomes a write error instead of a kill.
void install_interrupt_handlers();

// The signal that arrived, or 0.
int interrupted_signal();

#endif

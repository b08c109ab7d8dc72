// Whether `korva sink follow` runs, and only one at a time per user: while
// it runs it holds a write lock (fcntl F_SETLK, whole file) on
// $XDG_RUNTIME_DIR/korva/follow.lock. The kernel drops the lock when the
// process ends in any way, SIGKILL included, so a reader that finds no
// holder knows the state file is from a follow that has ended; it asks with
// F_GETLK, which takes nothing (a reader never stops a follow from
// starting) and gives the holder's pid as the kernel knows it, never a pid
// read from a file that a new process may have taken since.
#ifndef KORVA_SINKFILES_FOLLOW_LOCK_H
#define KORVA_SINKFILES_FOLLOW_LOCK_H

#include <string>

#include <sys/types.h>

namespace korva::sinkfiles {

// The lock file's path; empty when XDG_RUNTIME_DIR is not an absolute path.
std::string follow_lock_path();

// For follow itself: makes the folder and takes the lock, keeping it until
// the process ends. Returns the descriptor (never to be closed while
// following); or -1 with `holder` the pid of the follow that holds it (-1
// when its pid cannot be seen from here); or -1 with `holder` 0 and
// `problem` saying why the lock cannot be taken, naming the folder or the
// file at fault.
int follow_lock_take(pid_t &holder, std::string &problem);

// For readers: the pid of the follow that runs (-1 when its pid cannot be
// seen from here), 0 when none does (no lock file, no folder, or no holder).
pid_t follow_running();

}  // namespace korva::sinkfiles

#endif

// Output files that appear only when complete, replaced as
// fileio/file_replace.h describes. An existing output that is not a regular
// file (a device such as /dev/null, a FIFO) is written directly, because a
// rename would replace the device node.
#ifndef KORVA_CLI_ATOMIC_OUTPUT_H
#define KORVA_CLI_ATOMIC_OUTPUT_H

#include "status.h"

#include "fileio/file_replace.h"

#include <string>
#include <sys/stat.h>

struct AtomicOutput {
    std::string display_path;              // the name the user gave, for messages
    korva::fileio::Replacement file;       // write the content to file.fd
    bool finished = false;                 // committed or abandoned

    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput &) = delete;
    AtomicOutput &operator=(const AtomicOutput &) = delete;
    // Removes the temporary file unless commit_output succeeded.
    ~AtomicOutput();
};

// The file an input argument names: for "-", standard input when it is a
// regular file (redirected from one). False when there is no such file.
bool stat_input(const std::string &input_path, struct stat &status);

// Refuses, as a usage error, an output that is the input file itself under
// any name (same device and inode), standard input redirected from the output
// included. A missing output is fine.
Status check_distinct(const std::string &input_path, const std::string &output_path);

// Opens `path` for writing: a new temporary file beside a regular (or new)
// target, the target itself when it is a device or FIFO.
Status begin_output(const std::string &path, AtomicOutput &output);

// Flushes the content to disk and renames it to the final name.
Status commit_output(AtomicOutput &output);

// Removes the temporary file now; harmless when there is none.
void abandon_output(AtomicOutput &output);

// "what failed: why" for a failed file replacement.
std::string replacement_reason(const korva::fileio::Error &error);

// Writes a whole text file through a temporary one, so a failure keeps what
// was there; a device or FIFO is refused. The error reads
// "PATH: cannot write<what>: why".
Status write_text_file(const std::string &path, const std::string &text, const std::string &what);

#endif

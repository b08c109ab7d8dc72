#include "atomic_output.h"

#include "interrupt.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

AtomicOutput::~AtomicOutput()
{
    abandon_output(*this);
}

std::string replacement_reason(const korva::fileio::Error &error)
{
    std::string reason = korva::fileio::step_text(error.step);
    if (error.number != 0)
        reason += std::string(": ") + std::strerror(error.number);
    return reason;
}

Status write_text_file(const std::string &path, const std::string &text, const std::string &what)
{
    korva::fileio::Error error;
    if (!korva::fileio::replace_file(path.c_str(), text.data(), text.size(), korva::fileio::NonRegular::refuse,
                                     &error))
        return failure(path + ": cannot write" + what + ": " + replacement_reason(error));
    return success();
}

bool stat_input(const std::string &input_path, struct stat &status)
{
    if (input_path != "-")
        return stat(input_path.c_str(), &status) == 0;
    return fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode);
}

Status check_distinct(const std::string &input_path, const std::string &output_path)
{
    struct stat input_status {};
    struct stat output_status {};
    if (!stat_input(input_path, input_status))
        return success();   // reading the input reports that problem
    if (stat(output_path.c_str(), &output_status) != 0)
        return success();
    if (input_status.st_dev == output_status.st_dev && input_status.st_ino == output_status.st_ino)
        return failure(output_path + ": is the same file as the input " +
                       (input_path == "-" ? std::string("(standard input)") : input_path) +
                       "; refusing to overwrite the input", 2);
    return success();
}

Status begin_output(const std::string &path, AtomicOutput &output)
{
    if (path.empty())
        return failure("the output file name is empty");
    output.display_path = path;
    output.finished = false;
    if (!korva::fileio::begin_replacement(path.c_str(), korva::fileio::NonRegular::write_through, output.file)) {
        output.finished = true;
        // A FIFO's open waits for its reader; a signal ends the wait.
        if (interrupted_signal() != 0)
            return interrupted_failure(path);
        return failure(path + ": " + replacement_reason(output.file.error));
    }
    // A second signal removes the temporary file from inside the handler.
    if (!output.file.direct)
        register_temporary_file(output.file.temporary);
    return success();
}

Status commit_output(AtomicOutput &output)
{
    if (output.finished)
        return failure(output.display_path + ": the output is no longer open");
    output.finished = true;
    const bool committed = korva::fileio::commit_replacement(output.file);
    register_temporary_file(nullptr);
    if (!committed)
        return failure(output.display_path + ": " + replacement_reason(output.file.error));
    return success();
}

void abandon_output(AtomicOutput &output)
{
    if (output.finished)
        return;
    register_temporary_file(nullptr);
    korva::fileio::abandon_replacement(output.file);
    output.finished = true;
}

// Outcome of a command-line operation: success, or one message for the user
// plus the exit code the program ends with. Nothing below main() throws.
#ifndef KORVA_CLI_STATUS_H
#define KORVA_CLI_STATUS_H

#include <string>
#include <utility>

struct Status {
    int exit_code = 0;     // 0 on success
    std::string message;   // names the file and the reason when exit_code != 0

    bool ok() const { return exit_code == 0; }
};

inline Status success() { return {}; }

inline Status failure(std::string message, int exit_code = 1)
{
    return Status{exit_code, std::move(message)};
}

#endif

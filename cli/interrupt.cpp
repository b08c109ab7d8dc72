#include "interrupt.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t caught_signal = 0;

// The handler reads the path only while temporary_ready is set; the main
// code clears the flag before changing the path.
char temporary_path[PATH_MAX];
volatile std::sig_atomic_t temporary_ready = 0;

extern "C" void on_signal(int signal_number)
{
    if (caught_signal != 0) {
        if (temporary_ready)
            unlink(temporary_path);   // async-signal-safe, as is _exit
        _exit(128 + signal_number);
    }
    caught_signal = signal_number;
}

} // namespace

void install_interrupt_handlers()
{
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal_number);
    action.sa_flags = 0;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal_number, &action, nullptr);

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

int interrupted_signal()
{
    return caught_signal;
}

void register_temporary_file(const char *path)
{
    temporary_ready = 0;
    if (path == nullptr || std::strlen(path) >= sizeof temporary_path)
        return;
    std::memcpy(temporary_path, path, std::strlen(path) + 1);
    temporary_ready = 1;
}

#include "interrupt.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t caught_signal = 0;

extern "C" void remember_signal(int signal_number)
{
    caught_signal = signal_number;
}

} // namespace

void install_interrupt_handlers()
{
    struct sigaction action {};
    action.sa_handler = remember_signal;
    sigemptyset(&action.sa_mask);
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

#include "interrupt.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t caught_signal = 0;

// One entry per thread that registers a file. The handler reads a path only
// while its `ready` flag is set; the owning thread clears the flag before
// changing the path. Lock-free atomics are safe to read in a handler.
struct TemporarySlot {
    char path[PATH_MAX];
    std::atomic<int> ready{0};
};
static_assert(std::atomic<int>::is_always_lock_free);

TemporarySlot temporary_slots[kTemporarySlots];
std::atomic<int> slots_taken{0};
thread_local int own_slot = -1;

extern "C" void on_signal(int signal_number)
{
    if (caught_signal != 0) {
        const int taken = slots_taken.load() < kTemporarySlots ? slots_taken.load() : kTemporarySlots;
        for (int i = 0; i < taken; ++i)
            if (temporary_slots[i].ready.load())
                unlink(temporary_slots[i].path);   // async-signal-safe, as is _exit
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

Status interrupted_failure(const std::string &what, const std::string &outcome)
{
    const int signal_number = caught_signal;
    return failure((what.empty() ? std::string() : what + ": ") + "interrupted by " + strsignal(signal_number) +
                       "; " + outcome,
                   128 + signal_number);
}

void register_temporary_file(const char *path)
{
    if (own_slot < 0) {
        if (path == nullptr)
            return;
        own_slot = slots_taken.fetch_add(1);
    }
    if (own_slot >= kTemporarySlots)
        return;   // beyond the table: the first signal still cleans up as usual
    TemporarySlot &slot = temporary_slots[own_slot];
    slot.ready.store(0);
    if (path == nullptr || std::strlen(path) >= sizeof slot.path)
        return;
    std::memcpy(slot.path, path, std::strlen(path) + 1);
    slot.ready.store(1);
}

// Counting of allocations, file opens and mutex locks on the calling thread
// (counting_calls.cpp replaces those calls in the test binary).
#ifndef KORVA_TESTS_RT_SAFETY_COUNTING_CALLS_H
#define KORVA_TESTS_RT_SAFETY_COUNTING_CALLS_H

namespace rt_test {

struct Counts {
    long allocations = 0;   // malloc, calloc, realloc, aligned forms, operator new
    long releases = 0;      // free, operator delete
    long opens = 0;         // open, open64, openat, fopen, fopen64, creat
    long locks = 0;         // pthread_mutex_lock, pthread_mutex_trylock
};

// Arms counting on this thread for its lifetime and gives the counts.
class Armed {
public:
    Armed();
    ~Armed();
    Armed(const Armed &) = delete;
    Armed &operator=(const Armed &) = delete;
    Counts stop();
};

// Calls every wrapped function once, so that looking up the C library's own
// definitions happens before anything is counted.
void resolve_wrapped_calls();

}  // namespace rt_test

#endif

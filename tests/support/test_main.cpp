// main() of the test programs that ctest runs whole: GoogleTest's own, but a
// run that skipped tests and failed none exits 77 (skip_status.h).
#include "skip_status.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return korva_test::status_with_skips(RUN_ALL_TESTS());
}

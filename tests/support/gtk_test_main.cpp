// main() of the tests that open windows: they need a display, and ctest runs
// them under xvfb-run. Listed among a test program's sources. A run that
// skipped tests and failed none exits 77 (skip_status.h).
#include "skip_status.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "%s: cannot open a display (run it under xvfb-run -a)\n", argv[0]);
        return 1;
    }
    return korva_test::status_with_skips(RUN_ALL_TESTS());
}

// The window tests need a display; ctest runs them under xvfb-run.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "test_ui: cannot open a display (run it under xvfb-run -a)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

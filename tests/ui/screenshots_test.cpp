// A screenshot of every page into the build directory (docs/ takes its
// pictures from there, see docs/update-screenshots.sh).
#include "ui_fixture.h"

#include <cstdio>
#include <set>
#include <string>

namespace {

using namespace korva_test;

class Screenshots : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        open_window();
        gui_update();
        pump(200);
    }
};

TEST_F(Screenshots, EveryPage)
{
    const char *names[] = {"general", "3d-surround", "extspace", "extfx", "virtual-subwoofer", "tune-speakers",
                           "bw-synth"};
    for (int page = 0; page < 7; ++page) {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook1), page);
        pump(300);
        gint w = 0, h = 0;
        gdk_drawable_get_size(window1->window, &w, &h);
        GdkPixbuf *shot = gdk_pixbuf_get_from_drawable(nullptr, window1->window, gdk_colormap_get_system(), 0, 0, 0,
                                                       0, w, h);
        ASSERT_NE(shot, nullptr);
        const std::string path =
            std::string(KORVA_UI_SHOT_DIR) + "/ui-page-" + std::to_string(page) + "-" + names[page] + ".png";
        EXPECT_TRUE(gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr)) << path;

        // Pages with a picture show many more colours than the plain controls.
        std::set<uint32_t> colours;
        const guchar *px = gdk_pixbuf_get_pixels(shot);
        const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const guchar *p = px + y * stride + x * channels;
                colours.insert(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
            }
        EXPECT_GT(colours.size(), page == 0 ? 8u : 100u) << names[page];
        g_object_unref(shot);
    }
}

}  // namespace

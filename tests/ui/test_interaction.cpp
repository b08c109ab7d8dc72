// The real window driven by pointer events from xdotool, and a screenshot of
// every page into the build directory.
#include "ui_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace {

using namespace korva_test;

// Root-window coordinates of a point inside a widget.
std::pair<int, int> on_screen(GtkWidget *widget, int x, int y)
{
    gint ox = 0, oy = 0;
    gdk_window_get_origin(widget->window, &ox, &oy);
    if (!gtk_widget_get_has_window(widget)) {
        ox += widget->allocation.x;
        oy += widget->allocation.y;
    }
    return {ox + x, oy + y};
}

bool xdotool(const std::string &args)
{
    const std::string command = std::string(KORVA_XDOTOOL) + " " + args;
    return std::system(command.c_str()) == 0;
}

// Pumps the main loop until `done` holds or two seconds have passed.
bool wait_for(const std::function<bool()> &done)
{
    for (int i = 0; i < 200 && !done(); ++i)
        pump(10);
    return done();
}

class Interaction : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (std::string(KORVA_XDOTOOL).empty())
            GTEST_SKIP() << "xdotool not installed";
        open_window();
        gui_update();
        pump(200);
    }
};

TEST_F(Interaction, ClickingACheckButtonAndDraggingTheThumb)
{
    ASSERT_TRUE(active(chkEnable));
    auto [cx, cy] = on_screen(chkEnable, 10, chkEnable->allocation.height / 2);
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(cx) + " " + std::to_string(cy) + " click 1"));
    EXPECT_TRUE(wait_for([] { return params().enable_global == 0; }));
    EXPECT_FALSE(active(chkEnable));

    // The preamp thumb (value 256, preamp 128) dragged far above the top.
    ASSERT_EQ(params().preamp, 128);
    gint start = 0, end = 0;
    gtk_range_get_slider_range(GTK_RANGE(slPreamp), &start, &end);
    auto [tx, ty] = on_screen(slPreamp, slPreamp->allocation.width / 2, (start + end) / 2);
    const int top = ty - (start + end) / 2 - 100;
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(tx) + " " + std::to_string(ty) + " mousedown 1 sleep 0.1" +
                        " mousemove " + std::to_string(tx) + " " + std::to_string(ty - 20) + " sleep 0.1" +
                        " mousemove " + std::to_string(tx) + " " + std::to_string(top) + " sleep 0.1 mouseup 1"));
    EXPECT_TRUE(wait_for([] { return params().preamp == 384; })) << "preamp " << params().preamp;
    EXPECT_EQ(slider_value(slPreamp), 0);

    // ... and down past the bottom of its reach.
    gtk_range_get_slider_range(GTK_RANGE(slPreamp), &start, &end);
    auto [bx, by] = on_screen(slPreamp, slPreamp->allocation.width / 2, (start + end) / 2);
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(bx) + " " + std::to_string(by) + " mousedown 1 sleep 0.1" +
                        " mousemove " + std::to_string(bx) + " " + std::to_string(by + 20) + " sleep 0.1" +
                        " mousemove " + std::to_string(bx) + " " + std::to_string(by + 600) + " sleep 0.1 mouseup 1"));
    EXPECT_TRUE(wait_for([] { return params().preamp == 0; })) << "preamp " << params().preamp;
    EXPECT_EQ(slider_value(slPreamp), 384);
}

TEST_F(Interaction, ScreenshotOfEveryPage)
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

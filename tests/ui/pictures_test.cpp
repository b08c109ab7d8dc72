// The seven embedded pictures: the fixed XPM form, and real content.
#include "ui/pixmaps/korva_pixmaps.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <cstring>
#include <regex>
#include <set>
#include <string>

namespace {

using korva_ui::kXpmLines;

const std::array<const char *const *, 7> pictures = {
    korva_ui::korva_1_xpm, korva_ui::korva_2_xpm, korva_ui::korva_3_xpm, korva_ui::korva_4_xpm,
    korva_ui::korva_5_xpm, korva_ui::korva_6_xpm, korva_ui::korva_7_xpm,
};

TEST(Pictures, HaveTheFixedHeaderPaletteAndRows)
{
    const std::regex colour_line("([^\"\\\\]{2}) c #[0-9A-Fa-f]{6}");
    for (size_t n = 0; n < pictures.size(); ++n) {
        SCOPED_TRACE("korva_" + std::to_string(n + 1) + ".xpm");
        const char *const *xpm = pictures[n];
        EXPECT_STREQ(xpm[0], "128 128 257 2");
        ASSERT_EQ(std::strlen(xpm[1]), 9u);
        EXPECT_STREQ(xpm[1] + 2, " c None");

        std::set<std::string> codes{std::string(xpm[1], 2)};
        for (int i = 2; i < 258; ++i) {
            std::cmatch m;
            ASSERT_TRUE(std::regex_match(xpm[i], m, colour_line)) << xpm[i];
            EXPECT_TRUE(codes.insert(m[1].str()).second) << "duplicate code in " << xpm[i];
        }
        EXPECT_EQ(codes.size(), 257u);

        for (int row = 258; row < kXpmLines; ++row) {
            ASSERT_NE(xpm[row], nullptr);
            ASSERT_EQ(std::strlen(xpm[row]), 256u) << "row " << row - 258;
            for (int x = 0; x < 256; x += 2)
                ASSERT_TRUE(codes.count(std::string(xpm[row] + x, 2))) << "row " << row - 258;
        }
    }
}

TEST(Pictures, ParseWithTransparentCornersAndVisibleContent)
{
    for (size_t n = 0; n < pictures.size(); ++n) {
        SCOPED_TRACE("korva_" + std::to_string(n + 1) + ".xpm");
        GdkPixbuf *pixbuf = gdk_pixbuf_new_from_xpm_data(const_cast<const char **>(pictures[n]));
        ASSERT_NE(pixbuf, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), 128);
        EXPECT_EQ(gdk_pixbuf_get_height(pixbuf), 128);
        ASSERT_TRUE(gdk_pixbuf_get_has_alpha(pixbuf));

        const guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        auto alpha = [&](int x, int y) { return pixels[y * stride + x * 4 + 3]; };
        EXPECT_EQ(alpha(0, 0), 0);
        EXPECT_EQ(alpha(127, 127), 0);

        int opaque = 0;
        std::set<uint32_t> colours;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                if (alpha(x, y)) {
                    ++opaque;
                    const guchar *p = pixels + y * stride + x * 4;
                    colours.insert(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
                }
        // A drawing, not a blank or a flat shape: a good part of the square,
        // shaded and antialiased.
        EXPECT_GT(opaque, 128 * 128 / 8);
        EXPECT_GT(colours.size(), 64u);
        g_object_unref(pixbuf);
    }
}

}  // namespace

// Widget lookup and image widgets from embedded data and from files.
#include "ui_fixture.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using korva_test::LogCapture;
using korva_test::UiTest;

// Width and height of a pixmap widget's image.
std::pair<int, int> image_size(GtkWidget *widget)
{
    if (!GTK_IS_PIXMAP(widget))
        return {-1, -1};
    GdkPixmap *pixmap = nullptr;
    gtk_pixmap_get(GTK_PIXMAP(widget), &pixmap, nullptr);
    gint w = -1, h = -1;
    gdk_drawable_get_size(pixmap, &w, &h);
    return {w, h};
}

// A one-colour XPM of the given size.
void write_xpm(const std::string &path, int size)
{
    std::ofstream out(path);
    out << "/* XPM */\nstatic char *x[] = {\n\"" << size << ' ' << size << " 1 1\",\n\". c #FF0000\",\n";
    for (int i = 0; i < size; ++i)
        out << '"' << std::string(size, '.') << '"' << (i + 1 < size ? ",\n" : "\n");
    out << "};\n";
}

class Support : public UiTest {};

TEST_F(Support, LookupClimbsFromAMenuItemThroughItsOptionMenu)
{
    open_window(false);
    GtkWidget *menu = gtk_option_menu_get_menu(GTK_OPTION_MENU(chChainer));
    GtkWidget *item = static_cast<GtkWidget *>(g_list_nth_data(GTK_MENU_SHELL(menu)->children, 3));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(lookup_widget(item, "slPreamp"), slPreamp);
    EXPECT_EQ(lookup_widget(item, "window1"), window1);
    EXPECT_EQ(lookup_widget(slBWamp, "chkEnable"), chkEnable);
}

TEST_F(Support, LookupOfAnUnknownNameWarnsAndGivesNull)
{
    open_window(false);
    LogCapture log;
    EXPECT_EQ(lookup_widget(slPreamp, "slNothing"), nullptr);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].level & G_LOG_LEVEL_MASK, G_LOG_LEVEL_WARNING);
    EXPECT_EQ(log.entries[0].message, "Widget not found: slNothing");

    EXPECT_EQ(lookup_widget(nullptr, "slPreamp"), nullptr);
    EXPECT_EQ(lookup_widget(slPreamp, nullptr), nullptr);
    EXPECT_EQ(log.entries.size(), 3u);
}

TEST_F(Support, EmbeddedPicturesAre128SquareAndOtherNamesOnePixelSilently)
{
    for (const char *name : {"korva_1.xpm", "korva_2.xpm", "korva_3.xpm", "korva_4.xpm", "korva_5.xpm",
                             "korva_6.xpm", "korva_7.xpm"}) {
        GtkWidget *image = create_pixmap(nullptr, name);
        EXPECT_EQ(image_size(image), std::make_pair(128, 128)) << name;
        gtk_widget_destroy(image);
    }
    LogCapture log;
    for (const char *name : {"KORVA_1.xpm", "korva_1.XPM", "korva_8.xpm", "korva_1", "", (const char *)nullptr}) {
        GtkWidget *image = create_pixmap(nullptr, name);
        EXPECT_EQ(image_size(image), std::make_pair(1, 1)) << (name ? name : "(null)");
        GdkBitmap *mask = nullptr;
        gtk_pixmap_get(GTK_PIXMAP(image), nullptr, &mask);
        EXPECT_NE(mask, nullptr) << "placeholder must be transparent";
        gtk_widget_destroy(image);
    }
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Support, BrokenXpmDataGivesNoPixmap)
{
    const char *broken[] = {"0 0 0 0"};
    EXPECT_EQ(pixmap_from_xpm_data(nullptr, const_cast<gchar **>(broken)), nullptr);
    EXPECT_EQ(pixmap_from_xpm_data(nullptr, nullptr), nullptr);
    GtkWidget *placeholder = make_placeholder_pixmap(nullptr);
    EXPECT_EQ(image_size(placeholder), std::make_pair(1, 1));
    gtk_widget_destroy(placeholder);
}

TEST_F(Support, FindPixmapFileAcceptsOnlyRegularFiles)
{
    write_xpm(scratch("a.xpm"), 2);
    std::filesystem::create_directory(scratch("d.xpm"));
    gchar *found = find_pixmap_file(dir.path.c_str(), "a.xpm");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::string(found), scratch("a.xpm"));
    g_free(found);
    EXPECT_EQ(find_pixmap_file(dir.path.c_str(), "d.xpm"), nullptr);
    EXPECT_EQ(find_pixmap_file(dir.path.c_str(), "missing.xpm"), nullptr);
    EXPECT_EQ(find_pixmap_file("/dev", "null"), nullptr);
}

TEST_F(Support, FileSearchPrefersTheLatestDirectoryThenParentPixmaps)
{
    // dir/A, dir/B, dir/pixmaps and dir/work as the current directory.
    for (const char *sub : {"A", "B", "pixmaps", "work", "pixmaps/dir.xpm"})
        std::filesystem::create_directory(dir.path / sub);
    write_xpm(scratch("A/both.xpm"), 2);
    write_xpm(scratch("B/both.xpm"), 3);
    write_xpm(scratch("pixmaps/parent.xpm"), 4);
    write_xpm(scratch("pixmaps/both.xpm"), 5);
    {
        std::ofstream broken(scratch("pixmaps/broken.xpm"));
        broken << "not an image\n";
    }
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path / "work");
    add_pixmap_directory(scratch("A").c_str());
    add_pixmap_directory(scratch("B").c_str());

    LogCapture log;
    GtkWidget *both = _create_pixmap(nullptr, "both.xpm");
    GtkWidget *parent = _create_pixmap(nullptr, "parent.xpm");
    EXPECT_EQ(image_size(both), std::make_pair(3, 3));
    EXPECT_EQ(image_size(parent), std::make_pair(4, 4));
    EXPECT_TRUE(log.entries.empty());

    GtkWidget *directory = _create_pixmap(nullptr, "dir.xpm");
    EXPECT_EQ(image_size(directory), std::make_pair(1, 1));
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].message, "Couldn't find pixmap file: dir.xpm");
    EXPECT_EQ(log.entries[0].level & G_LOG_LEVEL_MASK, G_LOG_LEVEL_WARNING);

    GtkWidget *broken = _create_pixmap(nullptr, "broken.xpm");
    EXPECT_EQ(image_size(broken), std::make_pair(1, 1));
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[1].message, "Error loading pixmap file: ../pixmaps/broken.xpm");

    GtkWidget *unnamed = _create_pixmap(nullptr, "");
    EXPECT_EQ(image_size(unnamed), std::make_pair(1, 1));
    EXPECT_EQ(log.entries.size(), 2u);

    for (GtkWidget *w : {both, parent, directory, broken, unnamed})
        gtk_widget_destroy(w);
    std::filesystem::current_path(previous);
}

}  // namespace

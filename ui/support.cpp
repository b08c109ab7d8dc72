#include "support.h"

#include "ui/pixmaps/korva_pixmaps.h"

#include <sys/stat.h>

#include <cstring>
#include <string_view>

namespace {

// Directories searched by _create_pixmap, newest first; each an owned copy.
GList *pixmap_directories = nullptr;

// The placeholder: one transparent pixel.
const char *const placeholder_xpm[] = {"1 1 1 1", "  c None", " "};

struct EmbeddedPicture {
    std::string_view name;
    const char *const *data;
};

const EmbeddedPicture embedded_pictures[] = {
    {"korva_1.xpm", korva_ui::korva_1_xpm}, {"korva_2.xpm", korva_ui::korva_2_xpm},
    {"korva_3.xpm", korva_ui::korva_3_xpm}, {"korva_4.xpm", korva_ui::korva_4_xpm},
    {"korva_5.xpm", korva_ui::korva_5_xpm}, {"korva_6.xpm", korva_ui::korva_6_xpm},
    {"korva_7.xpm", korva_ui::korva_7_xpm},
};

// The XPM loaders take non-const lines but only read them.
gchar **xpm_lines(const char *const *data)
{
    return const_cast<gchar **>(data);
}

GdkColormap *colormap_of(GtkWidget *widget)
{
    return widget ? gtk_widget_get_colormap(widget) : gdk_colormap_get_system();
}

// A pixmap widget that owns pixmap and mask.
GtkWidget *wrap_pixmap(GdkPixmap *pixmap, GdkBitmap *mask)
{
    GtkWidget *image = gtk_pixmap_new(pixmap, mask);
    g_object_unref(pixmap);
    if (mask)
        g_object_unref(mask);
    return image;
}

}  // namespace

extern "C" GtkWidget *lookup_widget(GtkWidget *widget, const gchar *widget_name)
{
    GtkWidget *found = nullptr;
    if (widget && widget_name) {
        // A menu's way up is the widget it is attached to, not its popup window.
        for (;;) {
            GtkWidget *next = GTK_IS_MENU(widget) ? gtk_menu_get_attach_widget(GTK_MENU(widget))
                                                  : widget->parent;
            if (!next)
                break;
            widget = next;
        }
        found = static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(widget), widget_name));
    }
    if (!found)
        g_warning("Widget not found: %s", widget_name ? widget_name : "(null)");
    return found;
}

extern "C" void add_pixmap_directory(const gchar *directory)
{
    if (directory)
        pixmap_directories = g_list_prepend(pixmap_directories, g_strdup(directory));
}

extern "C" gchar *find_pixmap_file(const gchar *directory, const gchar *filename)
{
    if (!directory || !filename)
        return nullptr;
    gchar *path = g_strdup_printf("%s/%s", directory, filename);
    struct stat st;
    if (stat(path, &st) == 0 && S_ISREG(st.st_mode))
        return path;
    g_free(path);
    return nullptr;
}

extern "C" GtkWidget *pixmap_from_xpm_data(GtkWidget *widget, gchar **data)
{
    if (!data)
        return nullptr;
    GdkBitmap *mask = nullptr;
    GdkPixmap *pixmap = gdk_pixmap_colormap_create_from_xpm_d(nullptr, colormap_of(widget), &mask, nullptr, data);
    if (!pixmap) {
        if (mask)
            g_object_unref(mask);
        return nullptr;
    }
    return wrap_pixmap(pixmap, mask);
}

namespace {

// The picture `data` as an image, or an empty image after `complaint`.
GtkWidget *image_or_empty(GtkWidget *widget, const char *const *data, const char *complaint)
{
    GtkWidget *image = pixmap_from_xpm_data(widget, xpm_lines(data));
    if (!image) {
        g_critical("%s", complaint);
        return gtk_image_new();
    }
    return image;
}

}  // namespace

extern "C" GtkWidget *make_placeholder_pixmap(GtkWidget *widget)
{
    return image_or_empty(widget, placeholder_xpm, "Couldn't create replacement pixmap.");
}

extern "C" GtkWidget *create_pixmap(GtkWidget *widget, const gchar *filename)
{
    const char *const *data = placeholder_xpm;
    if (filename) {
        for (const EmbeddedPicture &picture : embedded_pictures) {
            if (picture.name == filename) {
                data = picture.data;
                break;
            }
        }
    }
    return image_or_empty(widget, data, "Couldn't create pixmap.");
}

extern "C" GtkWidget *_create_pixmap(GtkWidget *widget, const gchar *filename)
{
    if (!filename || !filename[0])
        return make_placeholder_pixmap(widget);

    gchar *path = nullptr;
    for (GList *dir = pixmap_directories; dir && !path; dir = dir->next)
        path = find_pixmap_file(static_cast<const gchar *>(dir->data), filename);
    if (!path)
        path = find_pixmap_file("../pixmaps", filename);
    if (!path) {
        g_warning("Couldn't find pixmap file: %s", filename);
        return make_placeholder_pixmap(widget);
    }

    GdkBitmap *mask = nullptr;
    GdkPixmap *pixmap = gdk_pixmap_colormap_create_from_xpm(nullptr, colormap_of(widget), &mask, nullptr, path);
    if (!pixmap) {
        g_warning("Error loading pixmap file: %s", path);
        g_free(path);
        if (mask)
            g_object_unref(mask);
        return make_placeholder_pixmap(widget);
    }
    g_free(path);
    return wrap_pixmap(pixmap, mask);
}

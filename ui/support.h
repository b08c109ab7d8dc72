/*
 * Widget lookup by name and image widgets from XPM data, either carried in
 * the program ("korva_1.xpm" .. "korva_7.xpm") or found along a search list
 * of directories. Interface thread only.
 *
 * Messages go to the GLib log in the default domain. Missing widgets and
 * image files are warnings. An image that cannot be made even from data in
 * memory is logged at G_LOG_LEVEL_CRITICAL rather than G_LOG_LEVEL_ERROR,
 * which GLib would treat as fatal: the window then gets an empty image
 * widget and stays usable.
 */
#ifndef KORVA_UI_SUPPORT_H
#define KORVA_UI_SUPPORT_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The widget stored under widget_name on widget's top level, or null (with a warning). */
GtkWidget *lookup_widget(GtkWidget *widget, const gchar *widget_name);

/* Puts a copy of directory at the front of the image search list. */
void add_pixmap_directory(const gchar *directory);

/* An image widget from the embedded picture of that name; any other name gives the placeholder. */
GtkWidget *create_pixmap(GtkWidget *widget, const gchar *filename);

/* An image widget from the XPM file found along the search list, or the placeholder. */
GtkWidget *_create_pixmap(GtkWidget *widget, const gchar *filename);

/* "directory/filename" as a new string (g_free) when that is a regular file, else null. */
gchar *find_pixmap_file(const gchar *directory, const gchar *filename);

/*
 * A pixmap widget built from XPM lines in widget's colour map (the default
 * one for a null widget); it owns the pixmap and mask. Null when the data
 * cannot be turned into a pixmap; nothing is logged here.
 */
GtkWidget *pixmap_from_xpm_data(GtkWidget *widget, gchar **data);

/* The one-pixel transparent image; an empty image widget if even that fails. */
GtkWidget *make_placeholder_pixmap(GtkWidget *widget);

#ifdef __cplusplus
}
#endif

#endif

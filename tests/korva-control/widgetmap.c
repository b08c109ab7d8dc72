/* widgetmap.c: an LD_PRELOAD helper for black-box GUI tests of a GTK 2 program.
   It writes where the program's named widgets are on screen, so that xdotool can
   click them, and what state they are in, so that a test can check the click.

   Build:  gcc -shared -fPIC -O1 -o /tmp/widgetmap.so widgetmap.c $(pkg-config --cflags --libs gtk+-2.0)
           (Korva's tests build it as the CMake target widgetmap, tests/korva-control/)
   Use:    rm -f /tmp/map; WIDGETMAP_OUT=/tmp/map LD_PRELOAD=/tmp/widgetmap.so PROGRAM ARGS...
           (preload it into the GTK 2 program only, e.g. `xvfb-run -a env LD_PRELOAD=... PROGRAM`,
           never into xvfb-run or a shell: it loads GTK 2 into whatever it is preloaded into)
   Click:  read X Y W H from the map, then  xdotool mousemove --sync $((X+W/2)) $((Y+H/2)) click 1

   Every 200 ms, from the program's own main loop once GTK has opened its display,
   the file named by WIDGETMAP_OUT is rewritten whole (a temporary file beside it,
   then rename). Fields are separated by single spaces; in names, titles and text
   every '%', space and control character is written as %XX (a space is %20).
     # widgetmap PID SEQ                            first line; SEQ counts the refreshes
     WINDOW TITLE X Y W H                           each visible toplevel ("-" when untitled)
     NAME TYPE X Y W H VISIBLE SENSITIVE [STATE]    each realized widget named with gtk_widget_set_name
     TAB:NOTEBOOK:I TYPE X Y W H VISIBLE SENSITIVE  the tab label of page I of each notebook
     MENUITEM:I TYPE X Y W H VISIBLE SENSITIVE      item I of each mapped (popped-up) GtkMenu,
                                                    I counting as gtk_option_menu_get_history does
   X Y W H: the widget's rectangle in root-window coordinates. VISIBLE: 1 when drawable
   (shown and mapped). SENSITIVE: 1 when it takes input (gtk_widget_is_sensitive).
   STATE: toggle and check buttons 0/1 (active); GtkOptionMenu the history index;
   GtkRange the adjustment value; GtkNotebook the current page; GtkComboBox the active
   index; GtkEntry and GtkLabel the text (no STATE field when it is empty).
   Nothing is printed on stdout; with WIDGETMAP_DEBUG=1 problems are told on stderr. */
#define GLIB_DISABLE_DEPRECATION_WARNINGS   /* GTK 2's own headers use what GLib deprecated */
#include <errno.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char *out_path;         /* WIDGETMAP_OUT */
static gboolean debug;         /* WIDGETMAP_DEBUG=1 */
static unsigned seq;           /* refreshes written */
static GHashTable *origins;    /* GdkWindow -> root origin, for one refresh */
static GString *map;           /* the file being built */

static gboolean failing;       /* the last write failed: told once, not five times a second */

static void complain(const char *what, const char *path)
{
    if (debug && !failing)
        fprintf(stderr, "widgetmap: %s %s: %s\n", what, path, g_strerror(errno));
    failing = TRUE;
}

/* A newly allocated copy of T with '%', spaces and control characters as %XX. */
static char *esc(const char *t)
{
    GString *e = g_string_new(NULL);
    for (; t != NULL && *t != '\0'; t++) {
        unsigned char c = (unsigned char)*t;
        if (c <= ' ' || c == '%' || c == 0x7f)
            g_string_append_printf(e, "%%%02X", c);
        else
            g_string_append_c(e, (char)c);
    }
    return g_string_free(e, FALSE);
}

/* Root coordinates of a GdkWindow's origin, asked of the X server once per refresh. */
static void origin(GdkWindow *win, int *x, int *y)
{
    int *o = g_hash_table_lookup(origins, win);
    if (o == NULL) {
        o = g_new(int, 2);
        gdk_window_get_origin(win, &o[0], &o[1]);
        g_hash_table_insert(origins, win, o);
    }
    *x = o[0];
    *y = o[1];
}

/* The widget's rectangle in root coordinates: FALSE when it is not realized. A widget
   without a window of its own is placed by its allocation inside its parent's window;
   one with its own window is that window. */
static gboolean rect(GtkWidget *w, int r[4])
{
    GdkWindow *win = gtk_widget_get_window(w);
    if (!gtk_widget_get_realized(w) || win == NULL)
        return FALSE;
    origin(win, &r[0], &r[1]);
    if (gtk_widget_get_has_window(w)) {
        gdk_drawable_get_size(GDK_DRAWABLE(win), &r[2], &r[3]);
    } else {
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        r[0] += a.x;
        r[1] += a.y;
        r[2] = a.width;
        r[3] = a.height;
    }
    return TRUE;
}

static void put_state(GtkWidget *w)
{
    if (GTK_IS_TOGGLE_BUTTON(w)) {
        g_string_append_printf(map, " %d", gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? 1 : 0);
    } else if (GTK_IS_OPTION_MENU(w)) {
        g_string_append_printf(map, " %d", gtk_option_menu_get_history(GTK_OPTION_MENU(w)));
    } else if (GTK_IS_RANGE(w)) {
        char num[G_ASCII_DTOSTR_BUF_SIZE];   /* '.' whatever the program's locale */
        g_string_append_printf(map, " %s", g_ascii_formatd(num, sizeof num, "%.10g", gtk_range_get_value(GTK_RANGE(w))));
    } else if (GTK_IS_NOTEBOOK(w)) {
        g_string_append_printf(map, " %d", gtk_notebook_get_current_page(GTK_NOTEBOOK(w)));
    } else if (GTK_IS_COMBO_BOX(w)) {
        g_string_append_printf(map, " %d", gtk_combo_box_get_active(GTK_COMBO_BOX(w)));
    } else if (GTK_IS_LABEL(w)) {
        char *text = esc(gtk_label_get_text(GTK_LABEL(w)));
        if (*text != '\0')
            g_string_append_printf(map, " %s", text);
        g_free(text);
    } else if (GTK_IS_ENTRY(w)) {
        char *text = esc(gtk_entry_get_text(GTK_ENTRY(w)));
        if (*text != '\0')
            g_string_append_printf(map, " %s", text);
        g_free(text);
    }
}

/* LABEL TYPE X Y W H VISIBLE SENSITIVE [STATE]; LABEL is already escaped. */
static void put(const char *label, GtkWidget *w, gboolean with_state)
{
    int r[4];
    if (!rect(w, r))
        return;
    g_string_append_printf(map, "%s %s %d %d %d %d %d %d", label, G_OBJECT_TYPE_NAME(w), r[0], r[1], r[2], r[3],
                           gtk_widget_is_drawable(w) ? 1 : 0, gtk_widget_is_sensitive(w) ? 1 : 0);
    if (with_state)
        put_state(w);
    g_string_append_c(map, '\n');
}

static void put_tabs(GtkNotebook *nb)
{
    char *name = esc(gtk_widget_get_name(GTK_WIDGET(nb)));
    for (int i = 0; i < gtk_notebook_get_n_pages(nb); i++) {
        GtkWidget *tab = gtk_notebook_get_tab_label(nb, gtk_notebook_get_nth_page(nb, i));
        char *label = g_strdup_printf("TAB:%s:%d", name, i);
        if (tab != NULL)
            put(label, tab, FALSE);
        g_free(label);
    }
    g_free(name);
}

static void put_menu_items(GtkMenu *menu)
{
    GList *items = gtk_container_get_children(GTK_CONTAINER(menu));
    int i = 0;
    for (GList *l = items; l != NULL; l = l->next, i++) {
        char label[32];
        g_snprintf(label, sizeof label, "MENUITEM:%d", i);
        put(label, GTK_WIDGET(l->data), FALSE);
    }
    g_list_free(items);
}

/* The widget, then every child, internal ones included. */
static void walk(GtkWidget *w, gpointer unused)
{
    (void)unused;
    const char *name = gtk_widget_get_name(w);   /* the type's name when none was set */
    if (name != NULL && *name != '\0' && strcmp(name, G_OBJECT_TYPE_NAME(w)) != 0) {
        char *label = esc(name);
        put(label, w, TRUE);
        g_free(label);
    }
    if (GTK_IS_NOTEBOOK(w))
        put_tabs(GTK_NOTEBOOK(w));
    if (GTK_IS_MENU(w) && gtk_widget_get_mapped(w))
        put_menu_items(GTK_MENU(w));
    if (GTK_IS_CONTAINER(w))
        gtk_container_forall(GTK_CONTAINER(w), walk, NULL);
}

static void write_map(void)
{
    char *tmp = g_strdup_printf("%s.tmp.%d", out_path, (int)getpid());
    FILE *f = fopen(tmp, "w");
    if (f == NULL) {
        complain("cannot create", tmp);
    } else {
        gboolean ok = fwrite(map->str, 1, map->len, f) == map->len;
        if (fclose(f) != 0 || !ok) {
            complain("cannot write", tmp);
            unlink(tmp);
        } else if (rename(tmp, out_path) != 0) {
            complain("cannot rename to", out_path);
            unlink(tmp);
        } else {
            if (debug && failing)
                fprintf(stderr, "widgetmap: %s written again\n", out_path);
            failing = FALSE;
        }
    }
    g_free(tmp);
}

static gboolean refresh(gpointer unused)
{
    (void)unused;
    if (gdk_display_get_default() == NULL)   /* GTK not initialised yet */
        return TRUE;
    int saved_errno = errno;
    map = g_string_new(NULL);
    origins = g_hash_table_new_full(g_direct_hash, g_direct_equal, NULL, g_free);
    g_string_append_printf(map, "# widgetmap %d %u\n", (int)getpid(), ++seq);
    GList *tops = gtk_window_list_toplevels();   /* oldest first */
    for (GList *l = tops; l != NULL; l = l->next) {
        GtkWidget *top = GTK_WIDGET(l->data);
        int r[4];
        if (gtk_widget_get_visible(top) && rect(top, r)) {
            char *title = esc(gtk_window_get_title(GTK_WINDOW(top)));
            g_string_append_printf(map, "WINDOW %s %d %d %d %d\n", *title ? title : "-", r[0], r[1], r[2], r[3]);
            g_free(title);
        }
        walk(top, NULL);
    }
    g_list_free(tops);
    write_map();
    g_hash_table_destroy(origins);
    g_string_free(map, TRUE);
    errno = saved_errno;
    return TRUE;
}

/* Runs when the program loads, before its main(). The timer lives in GLib's default
   main context, so it fires once the program runs its main loop (gtk_main and
   gtk_dialog_run included), and it holds the GDK lock as GTK callbacks expect. */
__attribute__((constructor)) static void widgetmap_start(void)
{
    const char *out = getenv("WIDGETMAP_OUT");
    const char *dbg = getenv("WIDGETMAP_DEBUG");
    debug = dbg != NULL && strcmp(dbg, "1") == 0;
    if (out == NULL || *out == '\0') {
        if (debug)
            fprintf(stderr, "widgetmap: WIDGETMAP_OUT is not set; nothing will be written\n");
        return;
    }
    out_path = g_strdup(out);
    gdk_threads_add_timeout(200, refresh, NULL);
    if (debug)
        fprintf(stderr, "widgetmap: writing %s every 200 ms once GTK is up\n", out_path);
}

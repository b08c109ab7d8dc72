// The LOAD and SAVE file selectors. A failure is written into the selector's
// own name field and the selector stays open for another try.

#include "dialogs.h"
#include "model_access.h"


#include <sys/stat.h>

#include <cstring>

namespace {

constexpr const char *kLoadFailed = "NOT A PRESET FILE";
constexpr const char *kSaveFailed = "SAVE FAILED (POSSIBLY NO ACCESS TO DIRECTORY?)";

using korva_ui::Window;

// The window a selector works for, kept on the selector.
constexpr const char *kWindowKey = "korva-window";

// Each window lists its selectors on screen, so clean-up can close them;
// each leaves the list when it is destroyed, however that happens.
void forget_selector(GtkWidget *selector, gpointer window)
{
    Window &w = *static_cast<Window *>(window);
    w.selectors = g_slist_remove(w.selectors, selector);
}

void attach_button(GtkWidget *selector, GtkWidget *button, const char *name, GCallback on_clicked)
{
    gtk_widget_set_name(button, name);
    gtk_object_set_data(GTK_OBJECT(selector), name, button);
    gtk_widget_show(button);
    GTK_WIDGET_SET_FLAGS(button, GTK_CAN_DEFAULT);
    g_signal_connect(button, "clicked", on_clicked, selector);
}

GtkWidget *create_selector(Window &w, const char *title, const char *name, const char *ok_name, GCallback on_ok,
                           const char *cancel_name)
{
    GtkWidget *selector = gtk_file_selection_new(title);
    gtk_widget_set_name(selector, name);
    gtk_object_set_data(GTK_OBJECT(selector), name, selector);
    gtk_container_set_border_width(GTK_CONTAINER(selector), 10);
    gtk_window_set_type_hint(GTK_WINDOW(selector), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(selector), GTK_WIN_POS_CENTER);
    gtk_window_set_modal(GTK_WINDOW(selector), TRUE);

    GtkFileSelection *fs = GTK_FILE_SELECTION(selector);
    attach_button(selector, fs->ok_button, ok_name, on_ok);
    attach_button(selector, fs->cancel_button, cancel_name, G_CALLBACK(on_file_Cancel));
    gtk_file_selection_set_filename(fs, korva_ui::last_preset(w));
    g_object_set_data(G_OBJECT(selector), kWindowKey, &w);
    w.selectors = g_slist_prepend(w.selectors, selector);
    g_signal_connect(selector, "destroy", G_CALLBACK(forget_selector), &w);
    return selector;
}

GtkFileSelection *selector_of(gpointer user_data)
{
    return user_data && GTK_IS_FILE_SELECTION(user_data) ? GTK_FILE_SELECTION(user_data) : nullptr;
}

// The window of a selector made here; null for any other.
Window *window_of(GtkFileSelection *selector)
{
    return static_cast<Window *>(g_object_get_data(G_OBJECT(selector), kWindowKey));
}

// The selected name, copied (the selector's own buffer changes with it) into
// GLib memory: nothing on these C paths throws. Released with g_free.
gchar *selected_name(GtkFileSelection *selector)
{
    const gchar *name = gtk_file_selection_get_filename(selector);
    return g_strdup(name ? name : "");
}

}  // namespace

namespace korva_ui {

GtkWidget *create_fileLoad(Window &w)
{
    return create_selector(w, "Load Korva Preset", "fileLoad", "ok_button1", G_CALLBACK(on_file_Load),
                           "cancel_button1");
}

GtkWidget *create_fileSave(Window &w)
{
    return create_selector(w, "Save Korva Preset", "fileSave", "ok_button2", G_CALLBACK(on_file_Save),
                           "cancel_button2");
}

}  // namespace korva_ui

extern "C" int file_enter_directory(GtkFileSelection *selector)
{
    if (!selector)
        return 0;
    gchar *name = g_strstrip(g_strdup(gtk_file_selection_get_filename(selector)));
    struct stat st;
    if (!name || stat(name, &st) != 0 || !S_ISDIR(st.st_mode)) {
        g_free(name);
        return 0;
    }
    size_t length = std::strlen(name);
    gchar *path = length == 0 || name[length - 1] == '/' ? g_strdup(name) : g_strconcat(name, "/", nullptr);
    gtk_file_selection_set_filename(selector, path);
    g_free(path);
    g_free(name);
    return 1;
}

namespace {

// OK in a selector: a directory name enters the directory; any other name
// goes to `act`, which says whether it succeeded. Success remembers the path
// and closes the selector; a failure shows `failed` in the name field and
// keeps the selector open for another try.
template <class Act> void finish_selection(gpointer user_data, const char *failed, Act act)
{
    GtkFileSelection *selector = selector_of(user_data);
    Window *w = selector ? window_of(selector) : nullptr;
    if (!w || file_enter_directory(selector))
        return;
    gchar *path = selected_name(selector);
    const bool done = act(*w, path);
    if (done)
        korva_ui::preset_chosen(*w, path);
    g_free(path);
    if (!done) {
        gtk_file_selection_set_filename(selector, failed);
        return;
    }
    gtk_widget_destroy(GTK_WIDGET(selector));
}

}  // namespace

extern "C" void on_file_Load(GtkButton *, gpointer user_data)
{
    finish_selection(user_data, kLoadFailed, [](Window &w, const gchar *path) {
        // The file is read and checked first; the block changes only after
        // a complete, valid read.
        KorvaParams in_force, loaded;
        if (!korva_ui::read_block(w, in_force) || !korva_ui::load_preset(w, path, loaded))
            return false;
        korva_ui::replace_block(w, &loaded);
        return true;
    });
}

extern "C" void on_file_Save(GtkButton *, gpointer user_data)
{
    finish_selection(user_data, kSaveFailed, [](Window &w, const gchar *path) {
        KorvaParams block;
        return korva_ui::read_block(w, block) && korva_ui::save_preset(w, path, block);
    });
}

extern "C" void on_file_Cancel(GtkButton *, gpointer user_data)
{
    if (GtkFileSelection *selector = selector_of(user_data))
        gtk_widget_destroy(GTK_WIDGET(selector));
}

void korva_ui::close_dialogs(Window &w)
{
    while (w.selectors)
        gtk_widget_destroy(GTK_WIDGET(w.selectors->data));  // leaves the list
    if (w.msg_box_window)
        gtk_widget_destroy(w.msg_box_window);  // clears msg_box_window
}

#include "ui_fixture.h"

#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <cstdlib>

namespace korva_test {

void pump(int ms)
{
    gint64 until = g_get_monotonic_time() + gint64{ms} * 1000;
    do {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        if (ms > 0)
            g_usleep(2000);
    } while (g_get_monotonic_time() < until);
}

namespace {

void record(const gchar *, GLogLevelFlags level, const gchar *message, gpointer data)
{
    static_cast<LogCapture *>(data)->entries.push_back({level, message ? message : ""});
}

}  // namespace

LogCapture::LogCapture()
    : handler(g_log_set_handler(nullptr, GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL), record, this))
{
}

LogCapture::~LogCapture()
{
    g_log_remove_handler(nullptr, handler);
}

bool read_settings_file(const std::string &path, KorvaParams &block)
{
    ConfigFile *cfg = xmms_cfg_open_file(path.c_str());
    if (!cfg)
        return false;
    korva_default_params(&block);
    char last[KORVA_PRESET_PATH_SIZE] = "";
    korva_settings_read(cfg, &block, last);
    xmms_cfg_free(cfg);
    return true;
}

KorvaParams params()
{
    KorvaParams p;
    korva_params_read(korva, &p);
    return p;
}

void set_params(const KorvaParams &p)
{
    korva_params_write(korva, &p);
}

double slider_value(GtkWidget *scrollbar)
{
    return gtk_adjustment_get_value(gtk_range_get_adjustment(GTK_RANGE(scrollbar)));
}

void move_slider(GtkWidget *scrollbar, double value)
{
    gtk_adjustment_set_value(gtk_range_get_adjustment(GTK_RANGE(scrollbar)), value);
}

void toggle(GtkWidget *button)
{
    gtk_button_clicked(GTK_BUTTON(button));
}

void choose(GtkWidget *option_menu, int position)
{
    gtk_option_menu_set_history(GTK_OPTION_MENU(option_menu), static_cast<guint>(position));
    GtkWidget *menu = gtk_option_menu_get_menu(GTK_OPTION_MENU(option_menu));
    GtkWidget *item = static_cast<GtkWidget *>(g_list_nth_data(GTK_MENU_SHELL(menu)->children, position));
    ASSERT_NE(item, nullptr);
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
}

bool active(GtkWidget *toggle_button)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle_button));
}

std::string label_text(GtkWidget *widget)
{
    if (GTK_IS_BIN(widget) && !GTK_IS_LABEL(widget))
        widget = gtk_bin_get_child(GTK_BIN(widget));
    if (!widget || !GTK_IS_LABEL(widget))
        return "<no label>";
    return gtk_label_get_text(GTK_LABEL(widget));
}

std::string description()
{
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(txtBWdesc));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar *text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string result = text;
    g_free(text);
    return result;
}

std::string entry_text(GtkWidget *file_selector)
{
    return gtk_entry_get_text(GTK_ENTRY(GTK_FILE_SELECTION(file_selector)->selection_entry));
}

std::vector<std::string> menu_labels(GtkWidget *option_menu)
{
    std::vector<std::string> labels;
    GtkWidget *menu = gtk_option_menu_get_menu(GTK_OPTION_MENU(option_menu));
    for (GList *item = GTK_MENU_SHELL(menu)->children; item; item = item->next) {
        GtkWidget *child = gtk_bin_get_child(GTK_BIN(item->data));
        // The selected item lends its label to the option menu's button.
        labels.push_back(child ? label_text(child) : label_text(gtk_bin_get_child(GTK_BIN(option_menu))));
    }
    return labels;
}

void UiTest::SetUp()
{
    ASSERT_FALSE(dir.path.empty());
    config = scratch("config");
    xmms_cfg_set_default_filename(config.c_str());
    korva_set_last_preset_file("~/");
    korva = korva_new();
    ASSERT_NE(korva, nullptr);
}

void UiTest::TearDown()
{
    close_window();
    close_dialogs();  // selectors and message windows a test left open
    pump();
    korva_delete(korva);
    korva = nullptr;
    xmms_cfg_set_default_filename(nullptr);
}

GtkWidget *UiTest::open_window(bool shown)
{
    GtkWidget *window = create_window1();
    if (shown) {
        gtk_widget_show(window);
        for (int page = 0; page < 7; ++page) {
            gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook1), page);
            pump();
        }
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook1), 0);
        pump();
    }
    return window;
}

void UiTest::close_window()
{
    if (window1)
        gtk_widget_destroy(window1);
    pump();
}

}  // namespace korva_test

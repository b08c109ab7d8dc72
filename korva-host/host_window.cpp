#include "host_window.h"

#include <cinttypes>
#include <string>

namespace {

constexpr guint position_interval_ms = 100;

std::string clock_text(int64_t frames, int rate)
{
    const int64_t tenths = rate > 0 ? frames * 10 / rate : 0;
    char text[48];
    g_snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64 ".%" PRId64, tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

void show_status(HostApp &app, const std::string &text)
{
    gtk_label_set_text(GTK_LABEL(app.ui.status_label), text.c_str());
}

// Runs on the interface thread: reads the audio thread's progress, collects
// it once it has ended, and leaves the main loop when asked to quit then.
gboolean on_position_timeout(gpointer data)
{
    HostApp &app = *static_cast<HostApp *>(data);
    Player &player = app.player;

    const size_t index = player.file_index.load(std::memory_order_relaxed);
    if (index < app.source.paths.size())
        gtk_label_set_text(GTK_LABEL(app.ui.file_label), app.source.paths[index].c_str());
    const std::string position = clock_text(player.frames_done.load(std::memory_order_relaxed), app.source.rate) +
                                 " / " + (app.source.total_frames < 0 ? std::string("?")
                                                                          : clock_text(app.source.total_frames, app.source.rate));
    gtk_label_set_text(GTK_LABEL(app.ui.position_label), position.c_str());

    if (!player.thread.joinable() || player.running.load(std::memory_order_acquire))
        return TRUE;

    player_reap(player);
    if (!player.error.empty()) {
        app.failed = true;
        show_status(app, "Error: " + player.error);
        g_printerr("korva-host: %s\n", player.error.c_str());
    } else if (player.finished.load(std::memory_order_acquire)) {
        show_status(app, "Finished");
    }
    if (app.options.quit_when_done && (player.finished.load(std::memory_order_acquire) || !player.error.empty()))
        gtk_main_quit();
    return TRUE;
}

void on_play_clicked(GtkButton *, gpointer data)
{
    host_window_play(*static_cast<HostApp *>(data));
}

void on_stop_clicked(GtkButton *, gpointer data)
{
    HostApp &app = *static_cast<HostApp *>(data);
    player_stop(app.player);
    show_status(app, "Stopped");
}

void on_configure_clicked(GtkButton *, gpointer data)
{
    HostApp &app = *static_cast<HostApp *>(data);
    if (app.plugin.record->configure != nullptr)
        app.plugin.record->configure();
}

void on_about_clicked(GtkButton *, gpointer data)
{
    HostApp &app = *static_cast<HostApp *>(data);
    if (app.plugin.record->about != nullptr)
        app.plugin.record->about();
}

void on_window_destroy(GtkWidget *, gpointer data)
{
    static_cast<HostApp *>(data)->ui.window = nullptr;
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

GtkWidget *add_button(GtkWidget *box, const char *label, GCallback callback, HostApp &app)
{
    GtkWidget *button = gtk_button_new_with_label(label);
    g_signal_connect(button, "clicked", callback, &app);
    gtk_box_pack_start(GTK_BOX(box), button, TRUE, TRUE, 0);
    return button;
}

} // namespace

void host_window_open(HostApp &app)
{
    HostWindow &ui = app.ui;
    ui.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(ui.window), "korva-host");
    gtk_container_set_border_width(GTK_CONTAINER(ui.window), 8);
    g_signal_connect(ui.window, "destroy", G_CALLBACK(on_window_destroy), &app);

    GtkWidget *column = gtk_vbox_new(FALSE, 6);
    gtk_container_add(GTK_CONTAINER(ui.window), column);

    const std::string plugin_text = app.plugin.record->description != nullptr
                                        ? app.plugin.record->description
                                        : app.options.plugin;
    gtk_box_pack_start(GTK_BOX(column), gtk_label_new(plugin_text.c_str()), FALSE, FALSE, 0);
    ui.file_label = gtk_label_new(app.source.paths.front().c_str());
    gtk_box_pack_start(GTK_BOX(column), ui.file_label, FALSE, FALSE, 0);
    ui.position_label = gtk_label_new("0:00.0");
    gtk_box_pack_start(GTK_BOX(column), ui.position_label, FALSE, FALSE, 0);
    const std::string target = app.sink.kind == SinkKind::file ? "Writing " + app.sink.name : "Playing through " + app.sink.name;
    ui.status_label = gtk_label_new(target.c_str());
    gtk_box_pack_start(GTK_BOX(column), ui.status_label, FALSE, FALSE, 0);

    GtkWidget *row = gtk_hbox_new(TRUE, 4);
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 0);
    add_button(row, "Play", G_CALLBACK(on_play_clicked), app);
    add_button(row, "Stop", G_CALLBACK(on_stop_clicked), app);
    add_button(row, "Configure", G_CALLBACK(on_configure_clicked), app);
    add_button(row, "About", G_CALLBACK(on_about_clicked), app);

    ui.timeout = g_timeout_add(position_interval_ms, on_position_timeout, &app);
    gtk_widget_show_all(ui.window);
}

void host_window_play(HostApp &app)
{
    std::string error;
    if (player_start(app.player, error))
        show_status(app, app.sink.kind == SinkKind::file ? "Writing " + app.sink.name : "Playing through " + app.sink.name);
    else if (!error.empty())
        show_status(app, "Error: " + error);
}

void host_window_close(HostApp &app)
{
    if (app.ui.timeout != 0)
        g_source_remove(app.ui.timeout);
    app.ui.timeout = 0;
    if (app.ui.window != nullptr)
        gtk_widget_destroy(app.ui.window);
    app.ui.window = nullptr;
}

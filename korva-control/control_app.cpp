#include "control_app.h"

#include "follow_status.h"
#include "preset_folder.h"
#include "sink_mirror.h"

#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_saver.h"
#include "sinkfiles/sink_fragment_store.h"
#include "ui/binding.h"
#include "ui/dialogs.h"
#include "ui/window.h"
#include "preset_file/preset_file.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace korva_control {

namespace {

constexpr const char *kInstallCommand = "korva sink install";
// The first answer of a running PipeWire comes within milliseconds; a
// missing one is known at once. Longer only on a loaded machine.
constexpr int kFirstAnswerMs = 3000;
// At most about four fragment writes a second while a control is dragged.
constexpr int kSaveIntervalMs = 250;
constexpr guint kTickMs = 100;

struct App {
    KorvaSinkClient *client = nullptr;
    KorvaFragmentSaver *saver = nullptr;
    std::string fragment;            // the fragment's path; empty when it has none
    std::string folder_file;         // where the last preset folder is kept
    std::string last_preset = "~/";  // where the preset selectors start
    KorvaSinkState state = KORVA_SINK_CONNECTING;
    bool whole_report_due = true;    // the next report is the first since connecting
    bool in_own_update = false;      // inside this program's gui_update
    std::string save_problem;        // the last failed save, told once
    std::string fragment_problem;    // why the installed fragment cannot be read ("PATH:LINE: why")
    struct stat fragment_seen {};    // the fragment as last read for fragment_problem
    std::string own_title;           // the window's title without the state
    std::string title;
    SinkMirror mirror;
    korva_ui::Window window;
};

App app;

int64_t now_us()
{
    return g_get_monotonic_time();
}

bool fragment_installed()
{
    struct stat file {};
    return !app.fragment.empty() && (stat(app.fragment.c_str(), &file) == 0 || errno != ENOENT);
}

// Reads the fragment again when it was replaced or changed, keeping why it
// cannot be read: such a fragment takes no change until it is mended.
void check_fragment()
{
    struct stat now {};
    if (app.fragment.empty() || (stat(app.fragment.c_str(), &now) != 0 && errno == ENOENT)) {
        app.fragment_problem.clear();
        app.fragment_seen = {};
        return;
    }
    if (now.st_ino == app.fragment_seen.st_ino && now.st_size == app.fragment_seen.st_size &&
        now.st_mtim.tv_sec == app.fragment_seen.st_mtim.tv_sec &&
        now.st_mtim.tv_nsec == app.fragment_seen.st_mtim.tv_nsec && now.st_ino != 0)
        return;
    app.fragment_seen = now;
    KorvaFragmentContents contents{};
    KorvaFragmentError error{};
    app.fragment_problem = korva_fragment_read(app.fragment.c_str(), &contents, &error) ? "" : error.message;
}

// A failed save is told on stderr and in a message window, once until a
// save succeeds again.
void report_save(bool ok, const KorvaFragmentError &error)
{
    if (ok) {
        app.save_problem.clear();
        return;
    }
    if (app.save_problem == error.message)
        return;
    app.save_problem = error.message;
    std::fprintf(stderr, "korva-control: not saved: %s\n", error.message);
    korva_ui::msg_box(app.window, "Korva: not saved", (std::string("The change is not saved:\n") + error.message).c_str());
}

void flush_saves()
{
    KorvaFragmentError error{};
    if (app.saver != nullptr && korva_fragment_saver_pending(app.saver))
        report_save(korva_fragment_saver_flush(app.saver, &error), error);
}

std::string state_words()
{
    const bool installed = fragment_installed();
    std::string words;
    switch (app.state) {
    case KORVA_SINK_NOT_RUNNING:
        words = installed ? "sink not running: changes are saved and apply when it starts" : "sink not running";
        break;
    case KORVA_SINK_PIPEWIRE_DOWN:
        words = installed ? "PipeWire not running: changes are saved and apply when it starts" : "PipeWire not running";
        break;
    default:
        words = korva_sink_state_text(app.state);
        break;
    }
    if (!installed)
        words += std::string("; the sink is not installed (") + kInstallCommand + ")";
    else if (!app.fragment_problem.empty())
        words = korva_sink_state_text(app.state) +
                std::string("; changes cannot be saved until the sink's configuration is mended: ") +
                app.fragment_problem;
    return words;
}

void show_title()
{
    if (app.window.window1 == nullptr)
        return;
    check_fragment();
    const std::string title = app.own_title + " \xe2\x80\x94 " + state_words() + follow_title_text();
    if (title == app.title)
        return;
    app.title = title;
    gtk_window_set_title(GTK_WINDOW(app.window.window1), title.c_str());
}

// Shows the block; what the window's read-back then changes stays here.
void show_block()
{
    app.in_own_update = true;
    korva_ui::gui_update(app.window);
    app.in_own_update = false;
}

// --- the window's model ---

int read_block(void *, KorvaParams *block)
{
    *block = app.mirror.shown;
    return 1;
}

void write_block(void *, const KorvaParams *block)
{
    if (app.in_own_update) {
        // The window's read-back of a shown block: kept, never sent.
        app.mirror.shown = *block;
        return;
    }
    std::vector<KorvaSinkChange> save, send;
    mirror_write(app.mirror, *block, now_us(), save, send);
    if (!send.empty() && !korva_sink_client_set(app.client, send.data(), static_cast<int>(send.size())))
        mirror_forget_node(app.mirror);   // the node went away in between: it reports afresh
    // An unreadable fragment is told in the title, not once per change.
    check_fragment();
    if (!save.empty() && fragment_installed() && app.fragment_problem.empty()) {
        KorvaFragmentError error{};
        report_save(korva_fragment_saver_change(app.saver, save.data(), static_cast<int>(save.size()), &error), error);
    }
}

// Reset (null) or a loaded preset, keeping the three switches in force.
void replace_block(void *data, const KorvaParams *block)
{
    KorvaParams next;
    if (block != nullptr)
        next = *block;
    else
        korva_default_params(&next);
    korva_params_keep_switches(&next, &app.mirror.shown);
    write_block(data, &next);
}

const char *last_preset(void *)
{
    return app.last_preset.c_str();
}

void keep_preset_folder(void *, const char *path)
{
    app.last_preset = path;
    std::string error;
    const std::string folder = folder_of(path);
    if (!folder.empty() && !write_preset_folder(app.folder_file, folder, error))
        std::fprintf(stderr, "korva-control: %s\n", error.c_str());
}

void window_closed(void *)
{
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

KorvaWindowModel make_sink_model()
{
    KorvaWindowModel model{};
    model.read = read_block;
    model.write = write_block;
    model.replace = replace_block;
    model.closed = window_closed;
    model.last_preset = last_preset;
    model.preset_chosen = keep_preset_folder;
    model.load_preset = korva_preset_load_hook;
    model.save_preset = korva_preset_save_hook;
    return model;
}

const KorvaWindowModel sink_model = make_sink_model();

// --- the PipeWire client's reports, on the interface thread ---

gboolean on_state(gpointer data)
{
    const auto state = static_cast<KorvaSinkState>(GPOINTER_TO_INT(data));
    if (state != app.state) {
        // Whatever waits goes to the fragment before anything else happens:
        // a sink starting next reads it.
        flush_saves();
        if (state != KORVA_SINK_CONNECTED)
            mirror_forget_node(app.mirror);
        app.whole_report_due = true;
        app.state = state;
    }
    show_title();
    return G_SOURCE_REMOVE;
}

gboolean on_values(gpointer data)
{
    const auto *values = static_cast<const KorvaSinkValues *>(data);
    if (app.state == KORVA_SINK_CONNECTED) {
        const bool whole = app.whole_report_due;
        app.whole_report_due = false;
        if (mirror_report(app.mirror, *values, whole, now_us()))
            show_block();
    }
    delete values;
    return G_SOURCE_REMOVE;
}

// Client thread: copied and handed over.
void state_changed(void *, KorvaSinkState state)
{
    g_idle_add(on_state, GINT_TO_POINTER(static_cast<int>(state)));
}

void values_changed(void *, const KorvaSinkValues *values)
{
    g_idle_add(on_values, new KorvaSinkValues(*values));
}

// SIGTERM (a logout) and SIGINT end the program as Close does: what waits is
// saved on the way out.
gboolean on_quit_signal(gpointer)
{
    if (gtk_main_level() > 0)
        gtk_main_quit();
    return G_SOURCE_CONTINUE;
}

gboolean on_tick(gpointer)
{
    KorvaFragmentError error{};
    if (app.saver != nullptr && korva_fragment_saver_pending(app.saver))
        report_save(korva_fragment_saver_poll(app.saver, &error), error);
    if (mirror_release(app.mirror, now_us()))
        show_block();
    show_title();
    return G_SOURCE_CONTINUE;
}

// The block to start from: the node's, else the installed fragment's, else
// the defaults. A fragment that cannot be read is told with its line.
void starting_block()
{
    KorvaParams defaults;
    korva_default_params(&defaults);
    app.mirror.shown = defaults;
    KorvaSinkValues values{};
    if (app.state == KORVA_SINK_CONNECTED && korva_sink_client_values(app.client, &values)) {
        mirror_report(app.mirror, values, true, now_us());
        app.whole_report_due = false;
        return;
    }
    if (!fragment_installed())
        return;
    KorvaFragmentContents saved{};
    KorvaFragmentError error{};
    if (korva_fragment_read(app.fragment.c_str(), &saved, &error)) {
        app.mirror.shown = block_from_controls(saved.controls, defaults);
        return;
    }
    std::fprintf(stderr, "korva-control: %s\n", error.message);
    korva_ui::msg_box(app.window, "Korva: the sink's configuration", (std::string("Cannot read the sink's configuration:\n") +
                                                error.message + "\n\nThe window shows the defaults.").c_str());
}

}  // namespace

int run_control_window()
{
    char path[PATH_MAX];
    KorvaFragmentError where{};
    if (korva_fragment_path(path, sizeof path, &where))
        app.fragment = path;
    else
        std::fprintf(stderr, "korva-control: %s: changes are not saved\n", where.message);
    app.saver = app.fragment.empty() ? nullptr : korva_fragment_saver_new(app.fragment.c_str(), kSaveIntervalMs);

    app.folder_file = preset_folder_file();
    const std::string folder = read_preset_folder(app.folder_file);
    if (!folder.empty())
        app.last_preset = folder;

    char error[256] = "";
    const KorvaSinkCallbacks callbacks{state_changed, values_changed, nullptr};
    app.client = korva_sink_client_new(&callbacks, error, sizeof error);
    if (app.client == nullptr) {
        std::fprintf(stderr, "korva-control: %s\n", error);
        korva_fragment_saver_free(app.saver);
        return 1;
    }
    app.state = korva_sink_client_wait(app.client, kFirstAnswerMs);
    starting_block();

    korva_ui::build(app.window, sink_model);
    const gchar *own_title = gtk_window_get_title(GTK_WINDOW(app.window.window1));
    app.own_title = own_title != nullptr ? own_title : "Korva";
    show_title();
    show_block();
    gtk_widget_show(app.window.window1);
    const guint tick = g_timeout_add(kTickMs, on_tick, nullptr);
    const guint term = g_unix_signal_add(SIGTERM, on_quit_signal, nullptr);
    const guint interrupt = g_unix_signal_add(SIGINT, on_quit_signal, nullptr);
    gtk_main();
    g_source_remove(interrupt);
    g_source_remove(term);
    g_source_remove(tick);

    flush_saves();
    korva_sink_client_free(app.client);
    korva_fragment_saver_free(app.saver);
    korva_ui::close_dialogs(app.window);
    return 0;
}

}  // namespace korva_control

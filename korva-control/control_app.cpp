#include "control_app.h"

#include "follow_status.h"
#include "preset_folder.h"
#include "setup_actions.h"
#include "sink_mirror.h"

#include "compare/compare_live.h"
#include "fileio/directories.h"
#include "sinksetup/sink_install.h"

#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_saver.h"
#include "sinkfiles/sink_fragment_store.h"
#include "ui/binding.h"
#include "ui/dialogs.h"
#include "ui/window.h"
#include "preset_file/preset_file.h"

#include <gdk/gdkkeysyms.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <fstream>
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
// A compare's match is measured again this long after the last change.
constexpr int64_t kRematchUs = 300 * 1000;
// The output in use is asked for this often while connected.
constexpr int64_t kDefaultSinkUs = 2 * 1000 * 1000;
constexpr const char *kRestartCommand = "systemctl --user restart pipewire";

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

    // The compare (compare/compare_live.h), as the node last reported it.
    CompareView compare;
    bool in_compare_update = false;  // the switch is set by the program, not the user
    int64_t rematch_at = 0;          // when to measure the match again; 0: not due
    GtkWidget *compare_check = nullptr;
    GtkWidget *ab_button = nullptr;

    // The set-up row: a message, the install, the restart, the output in use.
    std::string pending_file;        // the settings kept before the install
    bool pending_due = false;        // the window's settings wait to be kept there
    bool systemd = false;            // a user systemd answers
    std::string output_in_use;       // PipeWire's default sink, as last asked
    int64_t output_asked_at = 0;
    GtkWidget *setup_row = nullptr, *setup_label = nullptr;
    GtkWidget *install_button = nullptr, *restart_button = nullptr;
    GtkWidget *default_button = nullptr, *back_button = nullptr;
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
    std::string compare = compare_words(app.compare);
    if (!compare.empty() && app.state == KORVA_SINK_CONNECTED)
        compare = " \xe2\x80\x94 compare: " + compare;
    else
        compare.clear();
    const std::string title = app.own_title + " \xe2\x80\x94 " + state_words() + follow_title_text() + compare;
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
    else if (!send.empty() && app.compare.side != CompareSide::off)
        app.rematch_at = now_us() + kRematchUs;
    // Before the install the settings are kept for it.
    if (!save.empty() && !fragment_installed())
        app.pending_due = true;
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

// --- the compare ---

// The switch and the A/B button as the node reports the compare.
void show_compare()
{
    if (app.compare_check == nullptr)
        return;
    app.in_compare_update = true;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(app.compare_check), app.compare.side != CompareSide::off);
    app.in_compare_update = false;
    gtk_widget_set_sensitive(app.compare_check, app.state == KORVA_SINK_CONNECTED);
    gtk_widget_set_sensitive(app.ab_button, app.state == KORVA_SINK_CONNECTED);
}

// Plays `side` with the match measured for the window's settings; a
// failure is told in a message window and the switch goes back.
void switch_compare(CompareSide side)
{
    std::string problem;
    LevelMatch match;
    if (!app.compare.available)
        problem = compare_unavailable_text();
    else if (!compare_switch(app.client, side, app.mirror.shown, match, problem))
        problem = "the sink did not take it: " + problem;
    else
        return;   // the node reports the new state
    std::fprintf(stderr, "korva-control: compare: %s\n", problem.c_str());
    korva_ui::msg_box(app.window, "Korva: compare", ("Cannot compare:\n" + problem).c_str());
    show_compare();
}

void on_compare_toggled(GtkToggleButton *button, gpointer)
{
    if (app.in_compare_update)
        return;
    switch_compare(gtk_toggle_button_get_active(button) ? CompareSide::korva : CompareSide::off);
}

// A/B: the other side at once, or Korva's side when the compare is off.
void on_ab_clicked(GtkButton *, gpointer)
{
    if (app.compare.side == CompareSide::off) {
        switch_compare(CompareSide::korva);
        return;
    }
    const CompareSide other = app.compare.side == CompareSide::korva ? CompareSide::bypass : CompareSide::korva;
    if (!korva_sink_client_set_compare(app.client, static_cast<int>(other), static_cast<float>(app.compare.korva_level),
                                       static_cast<float>(app.compare.bypass_level)))
        switch_compare(other);   // tells why
}

// "Compare" and "A/B" right of "Enable effects"; B is A/B's key.
void build_compare(GtkAccelGroup *keys)
{
    app.compare_check = gtk_check_button_new_with_mnemonic("_Compare");
    gtk_widget_set_name(app.compare_check, "chkCompare");
    gtk_widget_set_tooltip_text(app.compare_check,
                                "Korva against the untouched sound, the louder one lowered to the other's loudness");
    app.ab_button = gtk_button_new_with_label("A/B");
    gtk_widget_set_name(app.ab_button, "btnAB");
    gtk_widget_set_tooltip_text(app.ab_button, "Switch between Korva and the untouched sound (key B)");
    gtk_widget_add_accelerator(app.ab_button, "clicked", keys, GDK_b, static_cast<GdkModifierType>(0),
                               GTK_ACCEL_VISIBLE);
    GtkWidget *row = app.window.hbox11;
    gtk_box_pack_start(GTK_BOX(row), app.compare_check, FALSE, FALSE, 2);
    gtk_box_reorder_child(GTK_BOX(row), app.compare_check, 1);
    gtk_box_pack_start(GTK_BOX(row), app.ab_button, FALSE, FALSE, 2);
    gtk_box_reorder_child(GTK_BOX(row), app.ab_button, 2);
    g_signal_connect(app.compare_check, "toggled", G_CALLBACK(on_compare_toggled), nullptr);
    g_signal_connect(app.ab_button, "clicked", G_CALLBACK(on_ab_clicked), nullptr);
    gtk_widget_show(app.compare_check);
    gtk_widget_show(app.ab_button);
}

// --- the set-up row ---

// The window's settings go to the pending file while there is no sink.
void keep_pending()
{
    if (!app.pending_due)
        return;
    app.pending_due = false;
    std::string error;
    if (!fragment_installed() && !write_pending_settings(app.pending_file, app.mirror.shown, error))
        std::fprintf(stderr, "korva-control: %s\n", error.c_str());
}

std::string read_previous_output()
{
    std::ifstream file(previous_output_file());
    std::string name;
    std::getline(file, name);
    return name;
}

void show_setup()
{
    if (app.setup_row == nullptr)
        return;
    const bool installed = fragment_installed();
    const bool connected = app.state == KORVA_SINK_CONNECTED;
    if (connected && now_us() - app.output_asked_at >= kDefaultSinkUs) {
        app.output_in_use = default_sink();
        app.output_asked_at = now_us();
    }
    const bool korva_in_use = connected && app.output_in_use == KORVA_SINK_NODE_NAME;
    std::string message;
    if (!installed)
        message = "Korva's output is not installed yet. The settings in this window are kept and become its "
                  "settings when you install it.";
    else if (app.state == KORVA_SINK_NOT_RUNNING)
        message = app.systemd ? "The Korva output is installed: PipeWire loads it when it restarts."
                              : "The Korva output is installed: PipeWire loads it when it restarts (log out and in, "
                                "or run: " + std::string(kRestartCommand) + "). This window connects by itself.";
    else if (korva_in_use)
        message = "Korva is the output in use: every program's sound goes through it.";
    else if (app.state == KORVA_SINK_PIPEWIRE_DOWN)
        message = "PipeWire is not running: this window connects by itself when it starts.";
    else if (connected)
        message = "The Korva output is ready" +
                  (app.output_in_use.empty() ? std::string(".") : "; the output in use is " + app.output_in_use + ".");
    gtk_label_set_text(GTK_LABEL(app.setup_label), message.c_str());
    auto show = [](GtkWidget *widget, bool shown) { shown ? gtk_widget_show(widget) : gtk_widget_hide(widget); };
    show(app.install_button, !installed);
    show(app.restart_button, installed && app.state == KORVA_SINK_NOT_RUNNING && app.systemd);
    show(app.default_button, connected && !korva_in_use);
    show(app.back_button, korva_in_use);
}

void tell(const char *what, const std::string &problem)
{
    std::fprintf(stderr, "korva-control: %s: %s\n", what, problem.c_str());
    korva_ui::msg_box(app.window, (std::string("Korva: ") + what).c_str(), problem.c_str());
}

void on_install_clicked(GtkButton *, gpointer)
{
    SinkInstalled installed;
    if (std::string problem = install_sink(app.mirror.shown, installed); !problem.empty()) {
        tell("install", problem);
        return;
    }
    std::remove(app.pending_file.c_str());
    app.pending_due = false;
    app.fragment_seen = {};
    // As `korva sink install`: the follow service where a user systemd answers.
    app.systemd = user_systemd_answers();
    if (app.systemd) {
        const char *const enable[] = {"enable", "--now", "korva-follow.service", nullptr};
        std::string problem;
        if (!run_user_systemctl(enable, problem))
            std::fprintf(stderr, "korva-control: korva-follow.service: %s\n", problem.c_str());
    }
    std::fprintf(stderr, "korva-control: wrote %s\n", installed.path.c_str());
    show_setup();
    show_title();
}

void on_restart_clicked(GtkButton *, gpointer)
{
    flush_saves();
    const char *const restart[] = {"restart", "pipewire", nullptr};
    std::string problem;
    if (!run_user_systemctl(restart, problem))
        tell("restart PipeWire", problem);
}

void on_default_clicked(GtkButton *, gpointer)
{
    // The output in use now is the one to go back to.
    const std::string before = default_sink();
    std::string problem;
    if (!before.empty() && before != KORVA_SINK_NODE_NAME) {
        const std::string file = previous_output_file();
        int why = 0;
        korva::fileio::make_directories(file.substr(0, file.rfind('/')).c_str(), 0777, &why);
        std::ofstream(file) << before << "\n";
    }
    if (!set_default_sink(KORVA_SINK_NODE_NAME, problem))
        tell("make Korva the output", problem);
    app.output_asked_at = 0;
    show_setup();
}

void on_back_clicked(GtkButton *, gpointer)
{
    std::string problem;
    if (!set_default_sink(read_previous_output(), problem))
        tell("switch back", problem);
    app.output_asked_at = 0;
    show_setup();
}

GtkWidget *setup_button(const char *label, const char *name, GCallback clicked)
{
    GtkWidget *button = gtk_button_new_with_label(label);
    gtk_widget_set_name(button, name);
    gtk_box_pack_start(GTK_BOX(app.setup_row), button, FALSE, FALSE, 4);
    g_signal_connect(button, "clicked", clicked, nullptr);
    return button;
}

// A row above the pages: the message and the action that fits it.
void build_setup()
{
    app.setup_row = gtk_hbox_new(FALSE, 4);
    gtk_widget_set_name(app.setup_row, "rowSetup");
    app.setup_label = gtk_label_new("");
    gtk_widget_set_name(app.setup_label, "lblSetup");
    gtk_label_set_line_wrap(GTK_LABEL(app.setup_label), TRUE);
    gtk_widget_set_size_request(app.setup_label, 320, -1);
    gtk_misc_set_alignment(GTK_MISC(app.setup_label), 0.0f, 0.5f);
    gtk_box_pack_start(GTK_BOX(app.setup_row), app.setup_label, TRUE, TRUE, 6);
    gtk_widget_show(app.setup_label);
    app.install_button = setup_button("Install the Korva output", "btnInstall", G_CALLBACK(on_install_clicked));
    app.restart_button = setup_button("Restart PipeWire", "btnRestart", G_CALLBACK(on_restart_clicked));
    app.default_button = setup_button("Make Korva the output", "btnDefault", G_CALLBACK(on_default_clicked));
    app.back_button = setup_button("Switch back", "btnSwitchBack", G_CALLBACK(on_back_clicked));
    // Always there, at one height: the controls below never move.
    gtk_widget_set_size_request(app.setup_row, -1, 52);
    gtk_widget_show(app.setup_row);
    gtk_box_pack_start(GTK_BOX(app.window.vbox1), app.setup_row, FALSE, FALSE, 4);
    gtk_box_reorder_child(GTK_BOX(app.window.vbox1), app.setup_row, 0);
}

// --- the PipeWire client's reports, on the interface thread ---

gboolean on_state(gpointer data)
{
    const auto state = static_cast<KorvaSinkState>(GPOINTER_TO_INT(data));
    if (state != app.state) {
        // Whatever waits goes to the fragment before anything else happens:
        // a sink starting next reads it.
        flush_saves();
        if (state != KORVA_SINK_CONNECTED) {
            mirror_forget_node(app.mirror);
            app.compare = CompareView{};
            show_compare();
        }
        app.output_asked_at = 0;   // ask for the output in use afresh
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
        app.compare = compare_view(*values);
        show_compare();
        show_title();
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
    if (app.rematch_at != 0 && now_us() >= app.rematch_at) {
        app.rematch_at = 0;
        switch_compare(app.compare.side);
    }
    keep_pending();
    show_setup();
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
    if (!fragment_installed()) {
        // Edits made before the install, kept for it.
        read_pending_settings(app.pending_file, app.mirror.shown);
        return;
    }
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

    app.pending_file = pending_settings_file();
    app.systemd = user_systemd_answers();
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
    GtkAccelGroup *keys = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(app.window.window1), keys);
    build_compare(keys);
    build_setup();
    show_compare();
    show_setup();
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
    keep_pending();
    korva_sink_client_free(app.client);
    korva_fragment_saver_free(app.saver);
    korva_ui::close_dialogs(app.window);
    return 0;
}

}  // namespace korva_control

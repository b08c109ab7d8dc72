// korva-host: a stand-in for the XMMS player, enough of it to run an effect
// plug-in as the player would. It loads the plug-in, calls init once, plays
// the files through mod_samples on its own audio thread while the interface
// thread runs the GTK main loop, and calls cleanup once before dlclose.
#include "host_app.h"
#include "host_window.h"

#include "libxmms/xmms_configfile.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#ifndef KORVA_HOST_BUILT_PLUGIN
#define KORVA_HOST_BUILT_PLUGIN "libxmkorva.so"
#endif
#ifndef KORVA_HOST_INSTALLED_PLUGIN
#define KORVA_HOST_INSTALLED_PLUGIN "../lib/xmms/Effect/libxmkorva.so"
#endif

namespace {

// The plug-in installed beside this program (KORVA_HOST_INSTALLED_PLUGIN is
// relative to the program's folder), else the one built with it.
std::string default_plugin()
{
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    if (!failed) {
        const std::filesystem::path installed = self.parent_path() / KORVA_HOST_INSTALLED_PLUGIN;
        if (std::filesystem::is_regular_file(installed, failed))
            return installed.lexically_normal().string();
    }
    return KORVA_HOST_BUILT_PLUGIN;
}

int fail(const std::string &message)
{
    std::fprintf(stderr, "korva-host: %s\n", message.c_str());
    return 1;
}

// Writing over an input would destroy it before it is read.
bool output_is_an_input(const HostOptions &options, std::string &error)
{
    for (const std::string &input : options.inputs) {
        std::error_code ignored;
        if (std::filesystem::equivalent(options.output, input, ignored)) {
            error = options.output + ": the output file is also an input";
            return true;
        }
    }
    return false;
}

bool open_sink(HostApp &app, std::string &error)
{
    if (!app.options.output.empty()) {
        if (output_is_an_input(app.options, error))
            return false;
        return audio_sink_open_file(app.sink, app.options.output, *app.options.format, app.options.channels,
                                    app.source.rate, error);
    }
    return audio_sink_open_live(app.sink, app.options.channels, app.source.rate, error);
}

// A signal (Ctrl-C, kill) ends the run the orderly way: the audio thread
// stops after its block, clean-up saves the settings, and a WAV file is
// closed with a correct header.
struct Interrupt {
    HostApp *app = nullptr;
    GMainLoop *loop = nullptr;     // headless runs only
    bool seen = false;
};

gboolean on_interrupt(gpointer data)
{
    auto &interrupt = *static_cast<Interrupt *>(data);
    interrupt.seen = true;
    interrupt.app->player.stop_requested.store(true, std::memory_order_release);
    if (interrupt.loop == nullptr && gtk_main_level() > 0)
        gtk_main_quit();
    return G_SOURCE_CONTINUE;
}

gboolean on_headless_poll(gpointer data)
{
    auto &interrupt = *static_cast<Interrupt *>(data);
    if (interrupt.app->player.running.load(std::memory_order_acquire))
        return G_SOURCE_CONTINUE;
    g_main_loop_quit(interrupt.loop);
    return G_SOURCE_REMOVE;
}

void report_interrupt(HostApp &app, const Interrupt &interrupt)
{
    if (!interrupt.seen)
        return;
    app.failed = true;
    if (app.player.finished.load(std::memory_order_acquire))
        std::fprintf(stderr, "korva-host: interrupted after the last file had been played\n");
    else
        std::fprintf(stderr, "korva-host: interrupted; the output ends early\n");
}

// Without a window: the audio thread plays everything while the main thread
// waits for it or for a signal.
void run_headless(HostApp &app)
{
    std::string error;
    if (!player_start(app.player, error)) {
        app.failed = true;
        std::fprintf(stderr, "korva-host: %s\n", error.c_str());
        return;
    }
    Interrupt interrupt;
    interrupt.app = &app;
    interrupt.loop = g_main_loop_new(nullptr, FALSE);
    const guint sources[] = {
        g_unix_signal_add(SIGINT, on_interrupt, &interrupt),
        g_unix_signal_add(SIGTERM, on_interrupt, &interrupt),
        g_timeout_add(20, on_headless_poll, &interrupt),
    };
    g_main_loop_run(interrupt.loop);
    for (guint id : {sources[0], sources[1]})
        g_source_remove(id);
    g_main_loop_unref(interrupt.loop);
    app.player.thread.join();
    if (!app.player.error.empty()) {
        app.failed = true;
        std::fprintf(stderr, "korva-host: %s\n", app.player.error.c_str());
    }
    report_interrupt(app, interrupt);
}

void run_window(HostApp &app)
{
    Interrupt interrupt;
    interrupt.app = &app;
    const guint sources[] = {
        g_unix_signal_add(SIGINT, on_interrupt, &interrupt),
        g_unix_signal_add(SIGTERM, on_interrupt, &interrupt),
    };
    host_window_open(app);
    if (app.options.configure && app.plugin.record->configure != nullptr)
        app.plugin.record->configure();
    host_window_play(app);
    gtk_main();
    player_stop(app.player);
    for (guint id : sources)
        g_source_remove(id);
    report_interrupt(app, interrupt);
}

} // namespace

int main(int argc, char **argv)
{
    HostApp app;
    bool help = false;
    std::string error;
    const std::string plugin = default_plugin();
    if (!host_options_parse(argc, argv, plugin.c_str(), app.options, help, error))
        return fail(error + " (try --help)");
    if (help)
        return 0;

    // Playing live shows the window; a file render runs without a display
    // unless the configuration window is asked for.
    const bool want_window = app.options.output.empty() || app.options.configure;
    const bool with_window = want_window && gtk_init_check(nullptr, nullptr);
    if (want_window && !with_window) {
        if (app.options.configure)
            return fail("cannot open the display that --configure needs");
        std::fprintf(stderr, "korva-host: no display; playing without a window\n");
    }

    if (!app.options.config.empty())
        xmms_cfg_set_default_filename(app.options.config.c_str());

    // Everything that can be refused is checked before the output is opened,
    // so a refused run leaves no output file behind.
    if (!audio_source_open(app.source, app.options.inputs, app.options.channels, error))
        return fail(error);
    app.plugin = plugin_load(app.options.plugin);
    if (app.plugin.record == nullptr) {
        audio_source_close(app.source);
        return fail(app.plugin.error);
    }
    if (!open_sink(app, error)) {
        plugin_unload(app.plugin);
        audio_source_close(app.source);
        return fail(error);
    }

    app.player.plugin = app.plugin.record;
    app.player.source = &app.source;
    app.player.sink = &app.sink;
    app.player.format = app.options.format;
    app.player.block_bytes = app.options.block_bytes;

    if (app.plugin.record->init != nullptr)
        app.plugin.record->init();
    if (with_window)
        run_window(app);
    else
        run_headless(app);
    if (app.plugin.record->cleanup != nullptr)
        app.plugin.record->cleanup();
    if (with_window)
        host_window_close(app);
    plugin_unload(app.plugin);

    if (!audio_sink_close(app.sink, error)) {
        app.failed = true;
        std::fprintf(stderr, "korva-host: %s\n", error.c_str());
    }
    audio_source_close(app.source);
    return app.failed ? 1 : 0;
}

#include "options.h"

#include <glib.h>

#include <memory>

namespace {

struct Raw {
    gchar *plugin = nullptr;
    gchar *output = nullptr;
    gchar *config = nullptr;
    gchar *format = nullptr;
    gint channels = 2;
    gint block = 2048;
    gboolean configure = FALSE;
    gboolean quit_when_done = FALSE;
    gchar **inputs = nullptr;

    ~Raw()
    {
        g_free(plugin);
        g_free(output);
        g_free(config);
        g_free(format);
        g_strfreev(inputs);
    }
};

const char summary[] =
    "Plays audio files through an XMMS effect plug-in the way the player does:\n"
    "the files are decoded into the player's sample format and handed to the\n"
    "plug-in's mod_samples block by block from an audio thread, while the\n"
    "window runs on the interface thread.\n"
    "\n"
    "With --output the result is written to a WAV file as fast as possible and\n"
    "no display is needed unless --configure is given. 8-bit formats are\n"
    "written as 8-bit WAV and 16-bit formats as 16-bit WAV, each sample as the\n"
    "plug-in returned it. Without --output the audio plays through PulseAudio,\n"
    "or ALSA when PulseAudio is not available.\n"
    "\n"
    "Output channel c takes input channel c modulo the file's channel count.\n"
    "All files must share one sample rate.";

} // namespace

bool host_options_parse(int argc, char **argv, const char *default_plugin, HostOptions &options, bool &help,
                        std::string &error)
{
    Raw raw;
    GOptionEntry entries[] = {
        {"plugin", 'p', 0, G_OPTION_ARG_FILENAME, &raw.plugin, "Effect plug-in to load (default: the libxmkorva.so installed beside this program, else the one built with it)", "PATH"},
        {"output", 'o', 0, G_OPTION_ARG_FILENAME, &raw.output, "Write the result to this WAV file instead of playing it", "FILE"},
        {"config", 'c', 0, G_OPTION_ARG_FILENAME, &raw.config, "Player configuration file (default ~/.xmms/config)", "FILE"},
        {"format", 'f', 0, G_OPTION_ARG_STRING, &raw.format, "Sample format handed to the plug-in: u8, s8, u16le, u16be, u16ne, s16le, s16be, s16ne (default s16ne)", "NAME"},
        {"channels", 'n', 0, G_OPTION_ARG_INT, &raw.channels, "Channels handed to the plug-in (default 2)", "N"},
        {"block", 'b', 0, G_OPTION_ARG_INT, &raw.block, "Block size in bytes, a whole number of frames (default 2048)", "BYTES"},
        {"configure", 0, 0, G_OPTION_ARG_NONE, &raw.configure, "Open the plug-in's configuration window at start", nullptr},
        {"quit-when-done", 'q', 0, G_OPTION_ARG_NONE, &raw.quit_when_done, "Leave once every file has been played", nullptr},
        {G_OPTION_REMAINING, 0, 0, G_OPTION_ARG_FILENAME_ARRAY, &raw.inputs, nullptr, "FILE..."},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
    };

    std::unique_ptr<GOptionContext, decltype(&g_option_context_free)> context(
        g_option_context_new("- play audio through an XMMS effect plug-in"), g_option_context_free);
    g_option_context_set_summary(context.get(), summary);
    g_option_context_add_main_entries(context.get(), entries, nullptr);
    g_option_context_set_help_enabled(context.get(), FALSE);

    g_set_prgname("korva-host");
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help") {
            gchar *text = g_option_context_get_help(context.get(), TRUE, nullptr);
            g_print("%s", text);
            g_free(text);
            help = true;
            return true;
        }
    }

    GError *gerror = nullptr;
    if (!g_option_context_parse(context.get(), &argc, &argv, &gerror)) {
        error = gerror->message;
        g_error_free(gerror);
        return false;
    }

    options = HostOptions{};
    options.plugin = raw.plugin != nullptr ? raw.plugin : (default_plugin != nullptr ? default_plugin : "");
    if (raw.output != nullptr)
        options.output = raw.output;
    if (raw.config != nullptr)
        options.config = raw.config;
    options.configure = raw.configure;
    options.quit_when_done = raw.quit_when_done;

    options.format = sample_format_find(raw.format != nullptr ? raw.format : "s16ne");
    if (options.format == nullptr) {
        error = std::string("unknown format '") + raw.format + "' (known: " + sample_format_names() + ")";
        return false;
    }
    if (raw.channels < 1 || raw.channels > host_max_channels) {
        error = "--channels must be between 1 and " + std::to_string(host_max_channels);
        return false;
    }
    options.channels = raw.channels;

    const int frame = options.format->bytes * options.channels;
    if (raw.block < frame || raw.block > host_max_block_bytes || raw.block % frame != 0) {
        error = "--block must be a whole number of " + std::to_string(frame) + "-byte frames, at most " +
                std::to_string(host_max_block_bytes) + " bytes";
        return false;
    }
    options.block_bytes = raw.block;

    if (options.plugin.empty()) {
        error = "no plug-in given (--plugin PATH)";
        return false;
    }
    for (gchar **in = raw.inputs; in != nullptr && *in != nullptr; ++in)
        options.inputs.emplace_back(*in);
    if (options.inputs.empty()) {
        error = "no input file given";
        return false;
    }
    return true;
}

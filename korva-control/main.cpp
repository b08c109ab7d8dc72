// korva-control: Korva's configuration window for the PipeWire sink.
#include "control_app.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kHelp =
    "Usage: korva-control [GTK-OPTION]...\n"
    "Korva's configuration window for the whole desktop's sound: every change\n"
    "reaches the running PipeWire sink (node korva_sink) at once and is saved in\n"
    "its configuration, so the sink starts with it after PipeWire restarts.\n"
    "\n"
    "The window starts from the running sink's values; with no sink running, from\n"
    "the saved configuration; with neither, from the defaults. Its title says\n"
    "whether it is connected. Changes made elsewhere (korva sink set, another\n"
    "window) show within a second.\n"
    "\n"
    "Before the sink is installed, the window offers to install it with its\n"
    "settings, then to make Korva the output in use. Compare (key B for A/B)\n"
    "plays Korva or the untouched sound, matched in loudness.\n"
    "\n"
    "Options:\n"
    "  -h, --help       print this help and exit\n"
    "  -V, --version    print the version and exit\n"
    "  GTK's own options (--display=DISPLAY and the like) are understood too.\n"
    "\n"
    "The sink can also be installed with: korva sink install\n";

}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("korva-control %s\n", KORVA_VERSION);
            return 0;
        }
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fputs("korva-control: cannot open the display (is DISPLAY set?)\n", stderr);
        return 1;
    }
    if (argc > 1) {
        std::fprintf(stderr, "korva-control: unknown argument %s (try --help)\n", argv[1]);
        return 2;
    }
    return korva_control::run_control_window();
}

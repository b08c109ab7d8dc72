// Writes korva-control's menu icon: one of the configuration window's own
// pictures (ui/pixmaps), 128x128, its "None" pixels transparent. A build
// tool: the build runs it into the build tree, and the icon is installed from
// there (target korva_control_icon).
//
//   korva-control-make-icon PICTURE OUTPUT.png     PICTURE 1..7
#include "ui/pixmaps/korva_pixmaps.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    const char *const *const pictures[] = {korva_ui::korva_1_xpm, korva_ui::korva_2_xpm, korva_ui::korva_3_xpm,
                                           korva_ui::korva_4_xpm, korva_ui::korva_5_xpm, korva_ui::korva_6_xpm,
                                           korva_ui::korva_7_xpm};
    const int picture = argc == 3 ? std::atoi(argv[1]) : 0;
    if (picture < 1 || picture > 7) {
        std::fprintf(stderr, "usage: %s PICTURE(1..7) OUTPUT.png\n", argv[0]);
        return 2;
    }
    GdkPixbuf *icon = gdk_pixbuf_new_from_xpm_data(const_cast<const char **>(pictures[picture - 1]));
    GError *error = nullptr;
    if (icon == nullptr || !gdk_pixbuf_save(icon, argv[2], "png", &error, nullptr)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[2], error ? error->message : "no picture");
        return 1;
    }
    g_object_unref(icon);
    return 0;
}

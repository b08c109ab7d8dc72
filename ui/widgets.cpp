#include "widgets.h"

extern "C" {
GtkWidget *window1 = nullptr;
#define KORVA_UI_DEFINE(name) GtkWidget *name = nullptr;
KORVA_UI_WIDGETS(KORVA_UI_DEFINE)
KORVA_UI_MENUS(KORVA_UI_DEFINE)
#undef KORVA_UI_DEFINE
}

/*
 * Two-way transfer between a window's controls and the parameter block of
 * the window's model (window_model.h). Interface thread only.
 */
#ifndef KORVA_UI_BINDING_H
#define KORVA_UI_BINDING_H

#include <gtk/gtk.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One brainwave mode: its frequency (thousandths of a hertz) and description. */
typedef struct BwMode {
    int32_t fq;
    const char *description;
} BwMode;

#define KORVA_BW_MODES 4

/* Concentration, light, normal and deep relaxation, in radio-button order. */
extern const BwMode bwcfg[KORVA_BW_MODES];

/* Position (from 0) of the option menu's selected item, or -1. */
gint option_menu_index(GtkWidget *option_menu);

#ifdef __cplusplus
}

#include "widgets.h"

namespace korva_ui {

/*
 * Reads every control into the parameter block and writes the whole block
 * through the model. Does nothing while the window is inside gui_update,
 * without a block or without a window.
 */
void korva_update(Window &w);

/*
 * Shows the parameter block in the controls, then reads the controls back, so
 * the block ends up holding exactly what the window can show. The model's
 * owner calls it (interface thread) when the block changed outside the window.
 */
void gui_update(Window &w);

/*
 * Shows the description of the brainwave mode whose frequency the block
 * holds (the first mode when none matches) in txtBWdesc.
 */
void show_bw_description(Window &w);

}  // namespace korva_ui
#endif

#endif

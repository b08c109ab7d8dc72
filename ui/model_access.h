// A window's side of its model (window_model.h): the calls the controls,
// Reset and the preset selectors make through the record the window was
// built over. Interface thread only.
#ifndef KORVA_UI_MODEL_ACCESS_H
#define KORVA_UI_MODEL_ACCESS_H

#include "widgets.h"

#include <gtk/gtk.h>

namespace korva_ui {

// The block, false without a block.
bool read_block(const Window &w, KorvaParams &block);
void write_block(const Window &w, const KorvaParams &block);

// Reset (null) or a preset load: the owner replaces the block whole, and the
// window, if open, then shows it.
void replace_block(Window &w, const KorvaParams *block);

// The path the preset selectors start at ("~/" when the owner has none).
const char *last_preset(const Window &w);

// LOAD or SAVE succeeded with `path`.
void preset_chosen(const Window &w, const char *path);

// A preset file read whole into `block`, or false with `block` unchanged.
bool load_preset(const Window &w, const char *path, KorvaParams &block);
// `block` written as the preset file `path`.
bool save_preset(const Window &w, const char *path, const KorvaParams &block);

// A new message window, shown, or null.
GtkWidget *message_window(const Window &w, const char *title, const char *text);

// The window's title.
const char *title(const Window &w);

// The window is being destroyed.
void window_closed(const Window &w);

}  // namespace korva_ui

#endif

// The window's side of its model (window_model.h): the record it was built
// over and the calls the controls, Reset and the preset selectors make
// through it. Interface thread only.
#ifndef KORVA_UI_MODEL_ACCESS_H
#define KORVA_UI_MODEL_ACCESS_H

#include "window_model.h"

#include <gtk/gtk.h>

namespace korva_ui {

// The record the window is built over; null forgets it.
void use_model(const KorvaWindowModel *model);

// The block, false without a model or without a block.
bool read_block(KorvaParams &block);
void write_block(const KorvaParams &block);

// Reset (null) or a preset load: the owner replaces the block whole, and the
// window, if open, then shows it.
void replace_block(const KorvaParams *block);

// The path the preset selectors start at ("~/" when the owner has none).
const char *last_preset();

// LOAD or SAVE succeeded with `path`.
void preset_chosen(const char *path);

// A preset file read whole into `block`, or false with `block` unchanged.
bool load_preset(const char *path, KorvaParams &block);
// `block` written as the preset file `path`.
bool save_preset(const char *path, const KorvaParams &block);

// A new message window, shown, or null.
GtkWidget *message_window(const char *title, const char *text);

// The window's title.
const char *title();

// The window is being destroyed.
void window_closed();

}  // namespace korva_ui

#endif

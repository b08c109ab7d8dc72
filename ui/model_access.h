// The window's side of its model (window_model.h): the record it was built
// over and the calls the controls, Reset and the preset selectors make
// through it. Interface thread only.
#ifndef KORVA_UI_MODEL_ACCESS_H
#define KORVA_UI_MODEL_ACCESS_H

#include "window_model.h"

namespace korva_ui {

// The record the window is built over; null forgets it.
void use_model(const KorvaWindowModel *model);

// The block, false without a model or without a block.
bool read_block(KorvaParams &block);
void write_block(const KorvaParams &block);

// Reset (null) or a preset load: the owner replaces the block whole, and the
// window, if open, then shows it.
void replace_block(const KorvaParams *block);

// LOAD or SAVE succeeded with `path`.
void preset_chosen(const char *path);

// The window is being destroyed.
void window_closed();

}  // namespace korva_ui

#endif

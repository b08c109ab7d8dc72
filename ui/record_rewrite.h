// The one way the window rewrites the whole engine record: Reset and a
// preset load. Interface thread only.
#ifndef KORVA_UI_RECORD_REWRITE_H
#define KORVA_UI_RECORD_REWRITE_H

#include "engine/korva.h"

namespace korva_ui {

/*
 * With `block` null, returns the engine to its defaults (working state
 * cleared, rate 44100 until the next audio block); otherwise puts `block` in
 * as the parameter block. Either way the master switch, reversed stereo and
 * phase invert keep their values, the new record is published under the
 * engine lock (never in the middle of an audio block), and the window, if
 * open, then shows it. Does nothing without an engine.
 */
void rewrite_record(const KorvaParams *block);

}  // namespace korva_ui

#endif

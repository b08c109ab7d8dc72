/*
 * The configuration window: construction, controls bound to the parameter
 * block, preset dialogs, about box, and the widget and image support.
 */
#ifndef KORVA_UI_KORVA_UI_H
#define KORVA_UI_KORVA_UI_H

#include "binding.h"
#include "callbacks.h"
#include "dialogs.h"
#include "support.h"
#include "widgets.h"
#include "window.h"

#endif

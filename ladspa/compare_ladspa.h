// The second descriptor of korva.so: label "korva_compare", the desktop
// sink's compare node (plugin_core/compare_fade.h), unique ID 19287.
#ifndef KORVA_LADSPA_COMPARE_LADSPA_H
#define KORVA_LADSPA_COMPARE_LADSPA_H

#include <ladspa.h>

const LADSPA_Descriptor *korva_compare_descriptor();

#endif

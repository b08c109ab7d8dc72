// The sink's configuration fragment made from its template: the plug-in path
// and every Korva control filled in from a parameter block. The text is
// checked with the fragment's reader (sink_fragment_store.h) before it is
// given: what is written is what PipeWire and `korva sink set` read back.
// No file is touched here.
#ifndef KORVA_SINKFILES_SINK_FRAGMENT_TEXT_H
#define KORVA_SINKFILES_SINK_FRAGMENT_TEXT_H

#include "engine/korva.h"

#include <string>
#include <string_view>

namespace korva::sinkfiles {

// The placeholder of the template that the plug-in path replaces, inside a
// quoted string.
constexpr std::string_view kPluginPlaceholder = "@KORVA_LADSPA_PLUGIN_PATH@";

// `text` as the inside of a quoted string of PipeWire's configuration
// syntax (SPA JSON): \" \\ \n \r \t, and \u00XX for the other control
// characters and DEL, which the reader refuses raw in a string.
std::string spa_json_string_content(std::string_view text);

// The template with the plug-in path and every control line ("FIELD" =
// VALUE) set from `params`. False, with `problem` saying why, when the
// template lacks a control line for some field or sets one twice, or when
// the result does not read back (a path that is not UTF-8, say).
bool fill_fragment_template(std::string_view template_text, const std::string &plugin_path,
                            const KorvaParams &params, std::string &fragment, std::string &problem);

} // namespace korva::sinkfiles

#endif

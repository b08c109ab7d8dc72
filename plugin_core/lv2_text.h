// Turtle text about the LV2 plug-in: names of things, escaping, and preset
// descriptions. Used by the generator of the plug-in's bundle and by
// `korva preset export-lv2`, so a preset reads the same from either.
#ifndef KORVA_PLUGIN_CORE_LV2_TEXT_H
#define KORVA_PLUGIN_CORE_LV2_TEXT_H

#include "engine/korva.h"

#include <string>
#include <string_view>

inline constexpr const char *kKorvaPluginUri = "urn:korva:enhancer";
inline constexpr const char *kKorvaUiUri = "urn:korva:enhancer#ui";
inline constexpr const char *kKorvaPresetUriPrefix = "urn:korva:preset:";

// `text` with \ " \n \r \t escaped by a backslash and every other control
// byte as \uXXXX (upper- or lower-case hex); other bytes, UTF-8 included, as
// they are. Turtle strings and PipeWire's configuration both read this.
std::string backslash_escaped(std::string_view text, bool upper_hex);

// A Turtle string literal: quoted, with \ " and control characters escaped.
std::string lv2_turtle_string(std::string_view text);

// Every byte outside A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex), so any
// name makes a valid URI: "Warm bass" gives "Warm%20bass".
std::string lv2_uri_component(std::string_view name);

// urn:korva:preset: followed by the name, percent-encoded.
std::string lv2_preset_uri(std::string_view name);

// The file of a preset inside a bundle: the encoded name with every '%' as
// '+' (which the encoding never leaves in a name, so two names never share a
// file), then ".ttl". Needs no escaping inside a Turtle IRI.
std::string lv2_preset_file_name(std::string_view name);

// A whole preset file: prefixes, then the preset with every port's value as
// it is in the block (the caller keeps the values within the ports' ranges).
std::string lv2_preset_document(std::string_view uri, std::string_view label, const KorvaParams &params);

// One manifest statement naming a preset and its file, with full IRIs so it
// can be appended to any manifest whatever prefixes it declares.
std::string lv2_manifest_preset_entry(std::string_view uri, std::string_view file_name);

#endif

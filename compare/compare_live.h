// The sink's compare, live: which side plays, switching sides with the level
// match measured for the sink's own controls, and keeping the match true
// after the controls change. The match lives only in the running compare
// node's controls: never in the 32 controls, never in the fragment, so a
// restart of the sink is normal listening again.
#ifndef KORVA_COMPARE_COMPARE_LIVE_H
#define KORVA_COMPARE_COMPARE_LIVE_H

#include "level_match.h"

#include "engine/korva.h"
#include "pwlive/sink_client.h"

#include <string>

enum class CompareSide { off = 0, korva = 1, bypass = 2 };

struct CompareView {
    bool available = false;          // the running sink has a compare node
    CompareSide side = CompareSide::off;
    double korva_level = 1.0;
    double bypass_level = 1.0;
};

CompareView compare_view(const KorvaSinkValues &values);

// The block the node's controls stand for (each as the plug-in takes it).
KorvaParams params_from_values(const KorvaSinkValues &values);

// Which side plays and by how much it was matched, in a few words:
// "Korva playing, lowered ~3.2 dB to match the bypass" ("~": the match
// measured on the reference; the node refines it on the music). Empty when
// off.
std::string compare_words(const CompareView &view);

// "korva", "bypass", "off".
const char *compare_side_name(CompareSide side);

// What to do when the running sink has no compare node: migrate the
// fragment, or restart PipeWire when it is migrated already.
std::string compare_unavailable_text();

// Sends the side with the match measured for `params` (off: normal
// listening). False with `problem` when it could not be sent.
bool compare_switch(KorvaSinkClient *client, CompareSide side, const KorvaParams &params, LevelMatch &match,
                    std::string &problem);

// In compare, measures the match again for `values` (the node's controls
// after a change) and sends it, keeping the side; does nothing otherwise.
// True when the match is true (or there is none to keep).
bool compare_rematch(KorvaSinkClient *client, const KorvaSinkValues &values, std::string &problem);

#endif

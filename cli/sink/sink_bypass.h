// Which playback streams bypass Korva, and what follow tells the session
// manager for each (the stream's target.object in the default metadata).
//
// A stream bypasses when its media.role is Communication (PipeWire's pulse
// layer gives a PulseAudio "phone" stream that role; a native "phone" counts
// too, in any case) or when its program is in the app list
// (sinkfiles/sink_apps.h). Such a stream is sent to the output Korva plays
// into, and sent on when that output changes. A stream whose target was set
// by someone else (the user in a mixer, the session manager restoring the
// user's choice) is left as it is from then on; so is a stream made with a
// target of its own. A stream follow sent past Korva that no longer bypasses
// (its program included again) has its target removed, and the session
// manager takes it back to the default output. Korva's own streams
// (korva_sink...) are never touched. No PipeWire here.
#ifndef KORVA_CLI_SINK_BYPASS_H
#define KORVA_CLI_SINK_BYPASS_H

#include "pwlive/stream_watch.h"
#include "sinkfiles/sink_apps.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// What follow remembers between two looks at the streams, by object.serial
// (an id is given again to a later stream).
struct BypassMemory {
    std::map<std::string, std::set<std::string>> written;   // the targets follow gave each stream
    std::set<std::string> left;                             // streams someone else moved: never touched
};

// A target to set for a stream; an empty one removes the stream's target.
struct BypassAction {
    uint32_t id = 0;
    std::string target;
};

// Why a stream bypasses: "call", "excluded", or empty when it does not.
std::string bypass_reason(const korva::pwlive::LiveStream &stream, const korva::sinkfiles::SinkApps &apps);

// The actions for `streams` when Korva plays into `output` (empty: not
// known, and nothing is sent anywhere new). `bypassing` gets an entry
// "NAME (node ID, WHY)" for every stream follow keeps past Korva.
std::vector<BypassAction> plan_bypass(const std::vector<korva::pwlive::LiveStream> &streams,
                                      const std::string &output, const korva::sinkfiles::SinkApps &apps,
                                      BypassMemory &memory, std::vector<std::string> &bypassing);

#endif

// A loud master for the factory presets' headroom tests: a 12-second stereo
// mix (kick, bass line, snare, hi-hat, chords, a lead), saturated and scaled
// like a modern master to -8 LUFS integrated at -0.3 dBTP true peak.
// Deterministic: the same samples on every run and machine.
#ifndef KORVA_TESTS_CLI_LOUD_MASTER_H
#define KORVA_TESTS_CLI_LOUD_MASTER_H

#include "cli_harness.h"

struct LoudMaster {
    Audio audio;          // 44100 Hz, 16-bit stereo
    double lufs = 0.0;    // integrated loudness of audio, as written
    double dbtp = 0.0;    // true peak of audio, the larger channel
};

LoudMaster make_loud_master();

#endif

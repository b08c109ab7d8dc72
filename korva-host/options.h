/* The command line of korva-host. */
#ifndef KORVA_KORVA_HOST_OPTIONS_H
#define KORVA_KORVA_HOST_OPTIONS_H

#include "sample_format.h"

#include <string>
#include <vector>

struct HostOptions {
    std::string plugin;               // the effect plug-in to load
    std::string output;               // WAV file to write; empty: play live
    std::string config;               // configuration file; empty: the library's default
    const SampleFormat *format = nullptr;
    int channels = 2;
    int block_bytes = 2048;
    bool configure = false;           // open the configuration window at start
    bool quit_when_done = false;      // leave once the input has been played
    std::vector<std::string> inputs;
};

// Largest block handed to the plug-in at once.
constexpr int host_max_block_bytes = 1 << 20;
constexpr int host_max_channels = 64;

// Parses and checks the command line. On failure returns false with a
// message in error; --help prints the usage and sets help.
bool host_options_parse(int argc, char **argv, const char *default_plugin, HostOptions &options, bool &help,
                        std::string &error);

#endif

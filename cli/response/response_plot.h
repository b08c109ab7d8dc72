// The response drawn as a PNG: gain in dB over a log-frequency axis from
// 20 Hz to half the sample rate, left and right channel.
#ifndef KORVA_CLI_RESPONSE_PLOT_H
#define KORVA_CLI_RESPONSE_PLOT_H

#include "response_measure.h"
#include "cli/common/status.h"

#include <string>
#include <vector>

struct ResponsePlot {
    std::vector<std::string> title;   // lines, first one in bold
    int rate = 44100;
    std::vector<ResponsePoint> points;
};

// Writes the picture as PNG to the open descriptor `fd` (left open); a
// failure's message gives the reason without the file name.
Status write_response_png(const ResponsePlot &plot, int fd);

#endif

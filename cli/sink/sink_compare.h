// korva sink compare korva|bypass|off: the sink's loudness-matched compare
// (compare/compare_live.h) from a terminal; korva sink migrate: the compare
// node for a fragment written before it existed.
#ifndef KORVA_CLI_SINK_COMPARE_H
#define KORVA_CLI_SINK_COMPARE_H

#include "cli/common/status.h"
#include "pwlive/sink_client.h"

#include <string>

Status run_sink_compare(const std::string &side);
Status run_sink_migrate();

// The compare of the running sink for `status`: off, the side and its
// match, or that the sink has no compare node (migrate).
std::string compare_status_text(const KorvaSinkValues &values);

// After the sink's controls changed: in compare, the match is measured
// again for the new controls and sent (a failure is a warning on stderr).
void keep_compare_match(KorvaSinkClient *client);

#endif

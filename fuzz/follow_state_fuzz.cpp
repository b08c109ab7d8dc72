// Any bytes as follow's two files: the state it publishes (key: value lines)
// and the record of the output whose profile it applied last.
//
// Properties:
//   - a refusal names a line within the text;
//   - a state that reads is written back, one "key: value" line a key, to a
//     text that reads as the same state;
//   - a record that reads and names an output and a preset is written and
//     read back as the same output, route and preset.
#include "fuzz_support.h"

#include "cli/sink/follow_applied.h"
#include "sinkfiles/follow_state.h"

#include <algorithm>
#include <map>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const long lines = 1 + std::count(text.begin(), text.end(), '\n');

    std::map<std::string, std::string> state;
    std::string problem;
    if (!korva::sinkfiles::parse_follow_state(text, state, problem)) {
        FUZZ_CHECK(problem.rfind("line ", 0) == 0);
        const long line = std::strtol(problem.c_str() + 5, nullptr, 10);
        FUZZ_CHECK(line >= 1 && line <= lines);
        FUZZ_CHECK(state.empty());
    } else {
        std::string written;
        for (const auto &[key, value] : state)
            written += key + ": " + value + "\n";
        std::map<std::string, std::string> again;
        FUZZ_CHECK(korva::sinkfiles::parse_follow_state(written, again, problem));
        FUZZ_CHECK(again == state);
    }

    FollowTarget target;
    const Status read = parse_follow_applied(text, "p", target);
    if (!read.ok()) {
        FUZZ_CHECK(read.message.rfind("p:", 0) == 0);
        const long line = std::strtol(read.message.c_str() + 2, nullptr, 10);
        FUZZ_CHECK(line >= 1 && line <= lines);
        FUZZ_CHECK(target == FollowTarget{});
    } else if (!target.node.empty() && !target.preset.empty() && target.route != "-") {
        const std::string path = korva_fuzz::scratch_path("follow-applied");
        FUZZ_CHECK(write_follow_applied(path, target).ok());
        FollowTarget again;
        FUZZ_CHECK(read_follow_applied(path, again).ok());
        FUZZ_CHECK(again == target);
    }
    return 0;
}

// Any bytes as follow's two files: the state it publishes (key: value lines)
// and the record of the output whose profile it applied last.
//
// Properties:
//   - a refusal names a line within the text;
//   - a state that reads is written back, one "key: value" line a key, to a
//     text that reads as the same state;
//   - a record that reads and names an output and a preset is written and
//     read back as the same output, route and preset;
//   - a state made of any text (each line of the input a field, or an entry
//     of the bypassing list) is written to a text that reads, every field
//     back as one line and every non-empty entry of the list back in order.
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

    korva::sinkfiles::FollowState made;
    std::vector<std::string> parts;
    for (size_t at = 0; at <= text.size() && parts.size() < 12;) {
        const size_t end = std::min(text.find('\x1e', at), text.size());   // RS splits the parts
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    parts.resize(12);
    made.output = parts[0];
    made.route = parts[1];
    made.problem = parts[2];
    made.bypassing.assign(parts.begin() + 3, parts.end());
    std::map<std::string, std::string> written_state;
    FUZZ_CHECK(korva::sinkfiles::parse_follow_state(korva::sinkfiles::follow_state_text(made), written_state, problem));
    const auto one_line = [](std::string value) {
        for (char &c : value)
            if (c == '\n' || c == '\r' || c == '\0')
                c = ' ';
        return value;
    };
    FUZZ_CHECK(written_state["output"] == one_line(made.output) && written_state["route"] == one_line(made.route) &&
               written_state["problem"] == one_line(made.problem));
    std::vector<std::string> entries;
    for (const std::string &entry : made.bypassing) {
        if (entry.empty())
            continue;
        std::string item = one_line(entry);
        for (size_t at; (at = item.find("; ")) != std::string::npos;)
            item[at] = ',';
        entries.push_back(item);
    }
    FUZZ_CHECK(korva::sinkfiles::follow_state_list(written_state["bypassing"]) == entries);

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

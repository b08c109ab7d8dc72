// Any bytes as the sink's profiles file, read and then changed as
// `korva sink profile set` and `remove` change it.
//
// Properties:
//   - a refusal names the file and a line within the text ("p:LINE: ");
//   - what reads is written back to a text that reads as the same profiles,
//     every comment line kept;
//   - after a change (one device's preset, one device removed, one added,
//     the fallback set) the written text reads as exactly the changed
//     profiles, with every comment line of the file still in it.
#include "fuzz_support.h"

#include "cli/sink/sink_profiles.h"

#include <algorithm>
#include <string>

namespace {

int comment_lines(const std::string &text)
{
    int count = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const size_t first = text.find_first_not_of(" \t", at);
        count += first < end && text[first] == '#';
        at = end + 1;
    }
    return count;
}

void check_reads_as(const std::string &text, const SinkProfiles &expected)
{
    SinkProfiles again;
    FUZZ_CHECK(parse_sink_profiles(text, "p", again).ok());
    FUZZ_CHECK(again.devices == expected.devices);
    FUZZ_CHECK(again.fallback == expected.fallback);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    SinkProfiles profiles;
    const Status status = parse_sink_profiles(text, "p", profiles);
    if (!status.ok()) {
        FUZZ_CHECK(status.message.rfind("p:", 0) == 0);
        const long line = std::strtol(status.message.c_str() + 2, nullptr, 10);
        FUZZ_CHECK(line >= 1 && line <= 1 + std::count(text.begin(), text.end(), '\n'));
        FUZZ_CHECK(profiles.devices.empty() && profiles.fallback.empty());
        return 0;
    }
    const int comments = comment_lines(text);
    const std::string same = sink_profiles_text(profiles);
    check_reads_as(same, profiles);
    FUZZ_CHECK(comment_lines(same) == comments + (text.empty() ? 3 : 0));

    SinkProfiles changed = profiles;
    if (!changed.devices.empty())
        changed.devices.front().second = "/changed.kp";
    if (changed.devices.size() >= 2)
        changed.devices.pop_back();
    if (std::none_of(changed.devices.begin(), changed.devices.end(),
                     [](const auto &device) { return device.first == "added"; }))
        changed.devices.emplace_back("added", "Flat");
    changed.fallback = "Fallback";
    const std::string written = sink_profiles_text(changed);
    check_reads_as(written, changed);
    FUZZ_CHECK(comment_lines(written) == comment_lines(same));
    return 0;
}

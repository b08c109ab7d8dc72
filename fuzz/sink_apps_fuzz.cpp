// Any bytes as the app list of `korva sink apps`, read and then changed as
// `exclude` and `include` change it.
//
// Input: the list's text; its last byte also picks the name changed (one of
// the list's own names, or a new one) and whether it is excluded or
// included.
//
// Properties:
//   - a refusal names a line within the text ("line N: ") and reads nothing;
//   - a list that reads is changed to a text that reads as the list with the
//     name added at the end (exclude) or taken out (include), every comment
//     line of the text still in it; a change that changes nothing leaves
//     the text as it was;
//   - a list that does not read is never changed.
#include "fuzz_support.h"

#include "sinkfiles/sink_apps.h"

#include <algorithm>
#include <string>

using namespace korva::sinkfiles;

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const long lines = 1 + std::count(text.begin(), text.end(), '\n');
    const uint8_t pick = size > 0 ? data[size - 1] : 0;
    const bool exclude = (pick & 1) != 0;

    SinkApps apps;
    std::string problem;
    const bool read = parse_sink_apps(text, apps, problem);
    if (!read) {
        FUZZ_CHECK(apps.excluded.empty());
        if (problem.rfind("line ", 0) == 0) {
            const long line = std::strtol(problem.c_str() + 5, nullptr, 10);
            FUZZ_CHECK(line >= 1 && line <= lines);
        } else {
            FUZZ_CHECK(text.size() > (size_t{1} << 20));
        }
    }
    const std::string name = !apps.excluded.empty() && (pick & 2) ? apps.excluded[pick % apps.excluded.size()]
                                                                  : "New \"app\" " + std::to_string(pick);
    std::string changed, why;
    if (!change_sink_apps_text(text, name, exclude, changed, why)) {
        FUZZ_CHECK(!read && why == problem);
        return 0;
    }
    FUZZ_CHECK(read);
    SinkApps after;
    FUZZ_CHECK(parse_sink_apps(changed, after, why));
    FUZZ_CHECK(comment_lines(changed) >= comment_lines(text));
    std::vector<std::string> expected;
    for (const std::string &known : apps.excluded)
        if (exclude || !sink_apps_match(SinkApps{{name}}, known, ""))
            expected.push_back(known);
    if (exclude && !sink_apps_match(apps, name, ""))
        expected.push_back(name);
    FUZZ_CHECK(after.excluded == expected);
    if (expected == apps.excluded && !text.empty())
        FUZZ_CHECK(changed == text);
    return 0;
}

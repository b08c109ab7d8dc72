// Any bytes as the factory presets' index.txt.
//
// Properties:
//   - a refusal names a line within the text, or says the index names no
//     preset;
//   - an index that reads names at least one preset, each with a plain .kp
//     file name and a name given once, and is written back (format_index)
//     to a text that reads as the same entries.
#include "fuzz_support.h"

#include "presets/preset_index.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using korva::presets::IndexEntry;
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<IndexEntry> entries;
    std::string problem;
    if (!korva::presets::parse_index(text, entries, problem)) {
        FUZZ_CHECK(entries.empty());
        if (problem.rfind("line ", 0) == 0) {
            const long line = std::strtol(problem.c_str() + 5, nullptr, 10);
            FUZZ_CHECK(line >= 1 && line <= 1 + std::count(text.begin(), text.end(), '\n'));
        } else {
            FUZZ_CHECK(problem.rfind("names no preset", 0) == 0);
        }
        return 0;
    }
    FUZZ_CHECK(!entries.empty());
    std::set<std::string> names;
    for (const IndexEntry &entry : entries) {
        FUZZ_CHECK(entry.file.size() > 3 && entry.file.find('/') == std::string::npos);
        FUZZ_CHECK(names.insert(entry.name).second);
    }
    std::vector<IndexEntry> again;
    FUZZ_CHECK(korva::presets::parse_index(korva::presets::format_index(entries, "made\nagain"), again, problem));
    FUZZ_CHECK(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        FUZZ_CHECK(again[i].file == entries[i].file && again[i].name == entries[i].name &&
                   again[i].description == entries[i].description);
    return 0;
}

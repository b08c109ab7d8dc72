// Any bytes as the sink's PipeWire fragment, read and then changed.
//
// Input: the fragment's text; its last byte also picks the control changed
// and its value.
//
// Properties:
//   - reading and changing agree: a text that reads is one that changes
//     (unless the change would pass 1 MiB), one that does not read is never
//     changed;
//   - a refusal always says why, and its line, when it names one, lies
//     within the text;
//   - the changed text reads back with the changed control at its new value
//     and every other control and the plug-in path as they were, and
//     changing it again the same way changes nothing more.
#include "fuzz_support.h"

#include "sinkfiles/sink_fragment_store.h"

#include <algorithm>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const int lines = 1 + static_cast<int>(std::count(text, text + size, '\n'));
    const uint8_t pick = size > 0 ? data[size - 1] : 0;
    const KorvaSinkChange changes[] = {{pick % KORVA_PARAM_FIELD_COUNT, static_cast<float>(pick * 3 - 100)}};

    KorvaFragmentContents before{};
    KorvaFragmentError error{};
    const bool read = korva_fragment_parse(text, size, &before, &error);
    if (!read) {
        FUZZ_CHECK(error.message[0] != '\0');
        FUZZ_CHECK(error.line >= 0 && error.line <= lines);
    }

    KorvaFragmentError rewrite_error{};
    size_t changed_size = 0;
    char *changed = korva_fragment_rewrite(text, size, changes, 1, &changed_size, &rewrite_error);
    if (!read) {
        FUZZ_CHECK(changed == nullptr);
        FUZZ_CHECK(rewrite_error.line == error.line && std::strcmp(rewrite_error.message, error.message) == 0);
        return 0;
    }
    if (changed == nullptr) {
        FUZZ_CHECK(std::strstr(rewrite_error.message, "larger than 1 MiB") != nullptr);
        return 0;
    }
    FUZZ_CHECK(changed_size <= (size_t{1} << 20));

    KorvaFragmentContents after{};
    FUZZ_CHECK(korva_fragment_parse(changed, changed_size, &after, &error));
    FUZZ_CHECK(std::strcmp(after.plugin, before.plugin) == 0);
    for (int f = 0; f < KORVA_PARAM_FIELD_COUNT; ++f) {
        if (f == changes[0].field) {
            FUZZ_CHECK(after.controls.present[f] && after.controls.value[f] == changes[0].value);
        } else {
            FUZZ_CHECK(after.controls.present[f] == before.controls.present[f]);
            FUZZ_CHECK(!before.controls.present[f] || after.controls.value[f] == before.controls.value[f]);
        }
    }

    size_t again_size = 0;
    char *again = korva_fragment_rewrite(changed, changed_size, changes, 1, &again_size, &error);
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(again_size == changed_size && std::memcmp(again, changed, changed_size) == 0);
    std::free(again);
    std::free(changed);
    return 0;
}

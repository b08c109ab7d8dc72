// Any text as the player's configuration file, then a run of key writes.
//
// Input: the file's text up to the first 0xFF byte; after it, a list of
// writes. Each write takes one byte of kind, then picks its section and key
// from the names the file already holds, from the plug-in's own names, or
// from the input itself, and its value from the input.
//
// Properties:
//   - opening and saving without a write gives the file back byte for byte;
//   - after the writes, saving and re-opening gives, for every key, what the
//     handle read before it was saved: a store and a re-read agree;
//   - a write the syntax can carry reads back as written (integers exactly,
//     text trimmed); one it cannot carry changes nothing;
//   - every key of the original file that no write named keeps its value,
//     and every line no write touched survives byte for byte;
//   - the plug-in's settings reader takes exactly the keys that read as
//     integers, each truncated to its field, leaves every other field and the
//     padding alone, keeps the last preset path inside its buffer, and what
//     it read is written and read back unchanged.
#include "fuzz_support.h"

#include "engine/param_fields.h"
#include "libxmms/config_model.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using korva::config::LineKind;
using Key = std::pair<std::string, std::string>;

struct Handle {
    ConfigFile *cfg;
    explicit Handle(ConfigFile *c) : cfg(c) {}
    ~Handle() { xmms_cfg_free(cfg); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
};

std::optional<std::string> read_string(ConfigFile *cfg, const Key &k)
{
    char *value = nullptr;
    if (!xmms_cfg_read_string(cfg, k.first.c_str(), k.second.c_str(), &value))
        return std::nullopt;
    FUZZ_CHECK(value != nullptr);
    std::string s(value);
    std::free(value);
    return s;
}

bool has_break(const std::string &s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

// What the file syntax can carry as a section or key name.
bool carriable_name(const std::string &s)
{
    return !s.empty() && korva::config::trim(s).size() == s.size() && !has_break(s);
}

bool carriable(const Key &k, const std::string &value)
{
    return carriable_name(k.first) && carriable_name(k.second) && k.second.find('=') == std::string::npos &&
           k.second.front() != '[' && !has_break(value);
}

// A name as the C calls see it: up to its first zero byte.
std::string c_name(const std::string &s)
{
    return s.substr(0, s.find('\0'));
}

// Every (section, key) the file holds, in the order the parser sees them,
// as the C calls can name them.
std::vector<Key> keys_of(const std::string &text)
{
    std::vector<Key> keys;
    std::optional<std::string> section;
    for (const auto &line : korva::config::parse(text)) {
        if (line.kind == LineKind::section)
            section = line.name;
        else if (line.kind == LineKind::broken_section)
            section.reset();
        else if (line.kind == LineKind::entry && section)
            keys.emplace_back(c_name(*section), c_name(line.name));
    }
    return keys;
}

// A C string from the input (it stops at the first zero byte).
std::string c_string(korva_fuzz::Input &in, size_t max)
{
    return c_name(in.bytes(in.value<uint8_t>() % (max + 1)));
}

// The plug-in's settings over whatever the file holds.
void check_settings(ConfigFile *cfg)
{
    KorvaParams params;
    std::memset(&params, 0x5A, sizeof params);
    const KorvaParams before = params;
    char path[KORVA_PRESET_PATH_SIZE];
    std::memset(path, 'X', sizeof path);
    const int present = korva_settings_read(cfg, &params, path);

    int expected_present = 0;
    for (const KorvaParamField &f : korva_param_fields) {
        const std::string key = std::string("xmkorva_") + f.name;
        int value = 0;
        KorvaParams one = before;
        if (xmms_cfg_read_int(cfg, "xmkorva-5", key.c_str(), &value) != 0) {
            ++expected_present;
            korva_param_set(&one, &f, value);
        }
        FUZZ_CHECK(std::memcmp(reinterpret_cast<const char *>(&params) + f.offset,
                               reinterpret_cast<const char *>(&one) + f.offset, f.width) == 0);
    }
    FUZZ_CHECK(params.pad_1 == before.pad_1 && params.pad_25 == before.pad_25 &&
               params.pad_50 == before.pad_50 && params.pad_82 == before.pad_82);
    const std::optional<std::string> stored = read_string(cfg, {"xmkorva-5", "xmkorva_last_preset_file"});
    if (stored) {
        ++expected_present;
        const size_t n = strnlen(path, sizeof path);
        FUZZ_CHECK(n < sizeof path);
        FUZZ_CHECK(std::string(path, n) == stored->substr(0, std::min<size_t>(stored->find('\0'), sizeof path - 1)));
    } else {
        for (const char c : path)
            FUZZ_CHECK(c == 'X');
    }
    FUZZ_CHECK(present == expected_present);
    if (!stored)
        return;

    // Written to a new configuration and read back, nothing changes, except
    // that a path cut at the buffer's end loses trailing white space. A path
    // holding a carriage return (possible inside a line of a file) is one the
    // library refuses to write: the key is then left out, never mangled.
    Handle fresh(xmms_cfg_new());
    FUZZ_CHECK(fresh.cfg != nullptr);
    korva_settings_write(fresh.cfg, &params, path);
    KorvaParams again = before;
    char path_again[KORVA_PRESET_PATH_SIZE];
    std::memset(path_again, 'Y', sizeof path_again);
    const bool writable = std::strchr(path, '\r') == nullptr;
    FUZZ_CHECK(korva_settings_read(fresh.cfg, &again, path_again) == (writable ? 33 : 32));
    FUZZ_CHECK(std::memcmp(&again, &params, sizeof again) == 0);
    if (writable)
        FUZZ_CHECK(std::string(path_again) == std::string(korva::config::trim(path)));
    else
        FUZZ_CHECK(path_again[0] == 'Y');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t text_size = 0;
    while (text_size < size && data[text_size] != 0xFF)
        ++text_size;
    const std::string original(reinterpret_cast<const char *>(data), text_size);
    korva_fuzz::Input ops(data + text_size, size - text_size);
    if (!ops.empty())
        ops.value<uint8_t>();  // the separator

    const std::string path = korva_fuzz::scratch_path("config");
    const std::string saved = korva_fuzz::scratch_path("config.saved");
    korva_fuzz::write_file(path, data, text_size);

    Handle cfg(xmms_cfg_open_file(path.c_str()));
    FUZZ_CHECK(cfg.cfg != nullptr);

    // Untouched, the file comes back as it was.
    FUZZ_CHECK(xmms_cfg_write_file(cfg.cfg, saved.c_str()) == 1);
    std::string text;
    FUZZ_CHECK(korva_fuzz::read_file(saved, text));
    FUZZ_CHECK(text == original);

    check_settings(cfg.cfg);

    std::vector<Key> pool = keys_of(original);
    std::map<Key, std::optional<std::string>> before;
    for (const Key &k : pool)
        before[k] = read_string(cfg.cfg, k);
    pool.emplace_back("xmkorva-5", "xmkorva_preamp");
    pool.emplace_back("xmkorva-5", "xmkorva_last_preset_file");
    pool.emplace_back("xmms", "output_plugin");

    std::set<Key> written;
    std::map<Key, std::string> expected;  // carriable writes, last one wins
    for (int n = 0; n < 32 && !ops.empty(); ++n) {
        const uint8_t kind = ops.value<uint8_t>();
        Key k;
        if (kind & 0x80) {
            k.first = c_string(ops, 24);
            k.second = c_string(ops, 24);
        } else {
            const Key &a = pool[ops.value<uint8_t>() % pool.size()];
            const Key &b = pool[ops.value<uint8_t>() % pool.size()];
            k = {a.first, (kind & 0x40) ? b.second : a.second};
        }
        if (kind & 1) {
            const int value = ops.value<int32_t>();
            xmms_cfg_write_int(cfg.cfg, k.first.c_str(), k.second.c_str(), value);
            if (carriable(k, "")) {
                int back = 0;
                FUZZ_CHECK(xmms_cfg_read_int(cfg.cfg, k.first.c_str(), k.second.c_str(), &back) == 1);
                FUZZ_CHECK(back == value);
                expected[k] = std::to_string(value);
            }
        } else {
            const std::string value = c_string(ops, 40);
            xmms_cfg_write_string(cfg.cfg, k.first.c_str(), k.second.c_str(), value.c_str());
            if (carriable(k, value))
                expected[k] = std::string(korva::config::trim(value));
        }
        written.insert(k);
        if (expected.count(k) != 0)
            FUZZ_CHECK(read_string(cfg.cfg, k) == expected[k]);
        // A write the syntax cannot carry leaves the key as it was.
        else if (before.count(k) != 0)
            FUZZ_CHECK(read_string(cfg.cfg, k) == before[k]);
        else
            FUZZ_CHECK(!read_string(cfg.cfg, k).has_value());
    }

    FUZZ_CHECK(xmms_cfg_write_file(cfg.cfg, saved.c_str()) == 1);
    Handle again(xmms_cfg_open_file(saved.c_str()));
    FUZZ_CHECK(again.cfg != nullptr);

    for (const auto &[k, value] : expected)
        FUZZ_CHECK(read_string(again.cfg, k) == value);
    for (const auto &[k, value] : before) {
        if (written.count(k) == 0)
            FUZZ_CHECK(read_string(again.cfg, k) == value);
    }
    for (const Key &k : pool)
        FUZZ_CHECK(read_string(again.cfg, k) == read_string(cfg.cfg, k));
    for (const Key &k : keys_of(original))
        FUZZ_CHECK(read_string(again.cfg, k) == read_string(cfg.cfg, k));

    // Every original line no write touched is still in the saved text.
    std::string resaved;
    FUZZ_CHECK(korva_fuzz::read_file(saved, resaved));
    if (written.empty())
        FUZZ_CHECK(resaved == original);
    std::set<std::string> touched_keys;
    for (const Key &k : written)
        touched_keys.insert(k.second);
    size_t from = 0;
    for (const auto &line : korva::config::parse(original)) {
        if (line.kind == LineKind::entry && touched_keys.count(line.name) != 0)
            continue;
        const size_t at = resaved.find(line.text, from);
        FUZZ_CHECK(at != std::string::npos);
        from = at + line.text.size();
    }

    // Saving the re-opened file changes nothing.
    const std::string third = korva_fuzz::scratch_path("config.third");
    FUZZ_CHECK(xmms_cfg_write_file(again.cfg, third.c_str()) == 1);
    std::string third_text;
    FUZZ_CHECK(korva_fuzz::read_file(third, third_text));
    FUZZ_CHECK(third_text == resaved);
    return 0;
}

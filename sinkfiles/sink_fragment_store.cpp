#include "sink_fragment_store.h"

#include "fileio/directories.h"

#include "fileio/file_read.h"
#include "fileio/file_replace.h"

#include <spa/utils/json.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// A fragment larger than this is not one `korva sink install` wrote or a
// person edited: refused rather than read into memory.
constexpr std::size_t kMaxFragment = korva::fileio::kTextFileLimit;
// Containers nested deeper than this are refused (the recursion's bound).
constexpr int kMaxDepth = 64;

void fail(KorvaFragmentError *error, int line, const char *format, ...)
{
    if (error == nullptr)
        return;
    error->line = line;
    va_list args;
    va_start(args, format);
    std::vsnprintf(error->message, sizeof error->message, format, args);
    va_end(args);
}

// A control character: never part of a word or a quoted string (a quoted
// string may run over lines and hold tabs).
bool control(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7f;
}

// Up to 40 bytes of the file for a message, control characters as \xNN and
// never a UTF-8 sequence cut in two.
std::string shown(std::string_view raw)
{
    constexpr std::size_t kMax = 40;
    std::size_t n = std::min(raw.size(), kMax);
    if (n < raw.size())
        while (n > 0 && (static_cast<unsigned char>(raw[n]) & 0xC0) == 0x80)
            --n;
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (control(raw[i]) || raw[i] == '\n' || raw[i] == '\r' || raw[i] == '\t') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(raw[i]));
            out += hex;
        } else {
            out += raw[i];
        }
    }
    return n < raw.size() ? out + "..." : out;
}

// One value of PipeWire's configuration syntax (SPA JSON): a scalar (bare
// word or quoted string) or a container, with where it lies in the text.
// The values of a file lie in one array in file order, each container
// followed by its contents (an object's as key, value, key, value...), so a
// file costs a fixed 20 bytes a value and no recursion to walk.
struct Value {
    enum Kind : unsigned char { scalar, object, array };
    Kind kind = scalar;
    std::uint32_t begin = 0, end = 0;   // the bytes it covers, brackets and quotes included
    std::uint32_t line = 0;
    std::uint32_t after = 0;            // the index past its contents
};

struct Tree {
    std::string_view source;
    std::vector<Value> values;

    // A scalar's text, a quoted one unescaped as PipeWire unescapes it (a
    // \u0000 ends it, as it ends PipeWire's C string).
    std::string text(std::size_t at) const
    {
        const Value &value = values[at];
        const std::string_view raw = source.substr(value.begin, value.end - value.begin);
        std::string out(raw.size() + 1, '\0');
        spa_json_parse_stringn(raw.data(), static_cast<int>(raw.size()), out.data(), static_cast<int>(out.size()));
        out.resize(std::strlen(out.c_str()));
        return out;
    }

    std::string_view raw(std::size_t at) const
    {
        return source.substr(values[at].begin, values[at].end - values[at].begin);
    }

    // The index of the value of the object's member `key`, or 0 (the root,
    // never a member) when it has none.
    std::size_t member(std::size_t object, std::string_view key) const
    {
        for (std::size_t at = object + 1; at < values[object].after; at = values[at + 1].after)
            if (values[at].kind == Value::scalar && text(at) == key)
                return at + 1;
        return 0;
    }
};

// Reads the syntax PipeWire's configuration files use (`key = value` or
// `key: value`, commas optional, # comments, a file being one object without
// its braces) with PipeWire's own tokenizer, spa_json, and records where
// each value lies. What the tokenizer refuses is refused with its line; so
// are a few shapes it would pass over: a closing bracket of the other kind
// or of no container (PipeWire stops reading there), a container left open
// at the end, a control character outside a quoted string, and containers
// nested deeper than kMaxDepth (the bound of this walk's recursion).
struct Parser {
    Tree &tree;
    KorvaFragmentError *error;

    std::string_view text() const { return tree.source; }

    // Tokens come in file order: lines are counted on from the last one
    // asked for, so a file costs one pass.
    const char *counted = nullptr;
    int counted_line = 1;

    int line_at(const char *where)
    {
        if (counted == nullptr || where < counted) {
            counted = text().data();
            counted_line = 1;
        }
        counted_line += static_cast<int>(std::count(counted, where, '\n'));
        counted = where;
        return counted_line;
    }

    std::size_t open(Value::Kind kind, const char *begin)
    {
        Value value;
        value.kind = kind;
        value.begin = static_cast<std::uint32_t>(begin - text().data());
        value.line = static_cast<std::uint32_t>(line_at(begin));
        tree.values.push_back(value);
        return tree.values.size() - 1;
    }

    void close(std::size_t index, const char *end)
    {
        tree.values[index].end = static_cast<std::uint32_t>(end - text().data());
        tree.values[index].after = static_cast<std::uint32_t>(tree.values.size());
    }

    // Why the tokenizer stopped at `where`, inside the token at `token`.
    void refused(const char *token, const char *where)
    {
        const char *end = text().data() + text().size();
        if (*token != '"' || where >= end) {
            fail(error, line_at(where), "PipeWire's reader cannot follow the text here");
            return;
        }
        const auto byte = static_cast<unsigned char>(*where);
        if (*where == '\n' || *where == '\r')
            fail(error, line_at(token), "a quoted string is not closed on its line");
        else if (control(*where) || *where == '\t')
            fail(error, line_at(where), "a control character (byte 0x%02x) in a quoted string", byte);
        else if (where > token && where[-1] == '\\')
            fail(error, line_at(where), "an escape \\%s in a quoted string that PipeWire does not know",
                 shown(std::string_view(where, 1)).c_str());
        else
            fail(error, line_at(where), "a byte (0x%02x) in a quoted string that is not UTF-8", byte);
    }

    // The next token of `iter`: its length, 0 at the container's end, or -1
    // with the error told.
    int next(spa_json &iter, const char *&token)
    {
        const int length = spa_json_next(&iter, &token);
        if (length < 0) {
            refused(token, iter.cur);
            return -1;
        }
        if (length == 0 || *token == '{' || *token == '[')
            return length;
        const std::string_view raw(token, static_cast<std::size_t>(length));
        if (raw.front() == '"') {
            // Closed: the last quote is not taken by a backslash.
            std::size_t at = 1;
            while (at + 1 < raw.size())
                at += raw[at] == '\\' ? 2 : 1;
            if (raw.size() < 2 || at != raw.size() - 1 || raw.back() != '"') {
                fail(error, line_at(token), "a quoted string is not closed");
                return -1;
            }
        } else {
            for (std::size_t at = 0; at < raw.size(); ++at)
                if (control(raw[at])) {
                    fail(error, line_at(token + at), "a control character (byte 0x%02x) outside a comment",
                         static_cast<unsigned char>(raw[at]));
                    return -1;
                }
        }
        return length;
    }

    // A value whose first token is `token`: a scalar, or a container read
    // to its end.
    bool value(spa_json &iter, const char *token, int length, int depth)
    {
        if (*token != '{' && *token != '[') {
            close(open(Value::scalar, token), token + length);
            return true;
        }
        if (depth >= kMaxDepth) {
            fail(error, line_at(token), "brackets nest more than %d deep", kMaxDepth);
            return false;
        }
        const std::size_t index = open(*token == '{' ? Value::object : Value::array, token);
        spa_json inner;
        spa_json_enter(&iter, &inner);
        return container(inner, index, *token == '{' ? '}' : ']', depth + 1);
    }

    // The members of the container at `index` up to its `closer` ('}' or
    // ']', or the end of the text for 0).
    bool container(spa_json &iter, std::size_t index, char closer, int depth)
    {
        const char *end = text().data() + text().size();
        const bool array = tree.values[index].kind == Value::array;
        for (;;) {
            const char *token = nullptr;
            int length = next(iter, token);
            if (length < 0)
                return false;
            if (length == 0) {
                // At a closing bracket, or at the end of the text.
                const char found = iter.cur < end ? *iter.cur : 0;
                if (found != closer) {
                    if (found != 0)
                        fail(error, line_at(iter.cur), "'%c' closes nothing", found);
                    else
                        fail(error, static_cast<int>(tree.values[index].line), "the '%c' opened here is not closed",
                             closer == '}' ? '{' : '[');
                    return false;
                }
                close(index, found != 0 ? iter.cur + 1 : end);
                return true;
            }
            if (!array) {
                if (*token == '{' || *token == '[') {
                    fail(error, line_at(token), "a key is missing before '%c'", *token);
                    return false;
                }
                const std::size_t key = tree.values.size();
                close(open(Value::scalar, token), token + length);
                length = next(iter, token);
                if (length < 0)
                    return false;
                if (length == 0) {
                    fail(error, static_cast<int>(tree.values[key].line), "the key %s has no value",
                         shown(tree.raw(key)).c_str());
                    return false;
                }
            }
            if (!value(iter, token, length, depth))
                return false;
        }
    }
};

// The Korva node: the first object, in file order, with label korva and a
// `control` object (0 for none).
std::size_t find_korva_node(const Tree &tree)
{
    for (std::size_t at = 0; at < tree.values.size(); ++at) {
        if (tree.values[at].kind != Value::object)
            continue;
        const std::size_t label = tree.member(at, "label");
        const std::size_t control = tree.member(at, "control");
        if (label != 0 && tree.values[label].kind == Value::scalar && tree.text(label) == "korva" && control != 0 &&
            tree.values[control].kind == Value::object)
            return at;
    }
    return 0;
}

// A control's value as a number, or false.
bool number(const Tree &tree, std::size_t at, double &out)
{
    if (tree.values[at].kind != Value::scalar)
        return false;
    const std::string text = tree.text(at);
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(out);
}

struct Parsed {
    Tree tree;
    std::size_t node = 0;       // the Korva node
    std::size_t controls = 0;   // its control object
};

bool parse(std::string_view text, Parsed &parsed, KorvaSinkValues *values, KorvaFragmentError *error)
{
    if (text.size() > kMaxFragment) {
        fail(error, 0, "%s, so not the sink configuration", korva::fileio::too_large_text().c_str());
        return false;
    }
    // Not text: PipeWire's reader would stop at it.
    if (const void *nul = std::memchr(text.data(), '\0', text.size())) {
        const auto before = text.substr(0, static_cast<std::size_t>(static_cast<const char *>(nul) - text.data()));
        fail(error, 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')),
             "a NUL byte, which a configuration file cannot hold");
        return false;
    }
    parsed.tree.source = text;
    Parser parser{parsed.tree, error};
    parser.open(Value::object, text.data());
    spa_json top;
    spa_json_init(&top, text.data(), text.size());
    if (!parser.container(top, 0, 0, 0))
        return false;
    const Tree &tree = parsed.tree;
    parsed.node = find_korva_node(tree);
    if (parsed.node == 0) {
        fail(error, 0, "no filter-graph node with label korva and a control = { } list");
        return false;
    }
    parsed.controls = tree.member(parsed.node, "control");
    KorvaSinkValues read{};
    const Value &controls = tree.values[parsed.controls];
    for (std::size_t key = parsed.controls + 1; key < controls.after; key = tree.values[key + 1].after) {
        const KorvaParamField *field = korva_param_field_find(tree.text(key).c_str());
        if (field == nullptr)
            continue;   // PipeWire's to judge; kept as it is
        double number_value = 0;
        if (!number(tree, key + 1, number_value)) {
            fail(error, static_cast<int>(tree.values[key + 1].line),
                 "the control %s has the value %s, which is not a number", field->name,
                 shown(tree.raw(key + 1)).c_str());
            return false;
        }
        const int index = static_cast<int>(field - korva_param_fields);
        read.present[index] = true;
        read.value[index] = number_value;
    }
    if (values != nullptr)
        *values = read;
    return true;
}

std::string value_text(float value)
{
    char text[32];
    if (std::nearbyint(value) == value && std::fabs(value) < 1e9f)
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    else
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

// Prefixes a parse error with the file's name and line.
void place(KorvaFragmentError *error, const char *path)
{
    if (error == nullptr)
        return;
    std::vector<char> message(std::strlen(path) + 16 + sizeof error->message);
    if (error->line > 0)
        std::snprintf(message.data(), message.size(), "%s:%d: %s", path, error->line, error->message);
    else
        std::snprintf(message.data(), message.size(), "%s: %s", path, error->message);
    std::snprintf(error->message, sizeof error->message, "%s", message.data());
}

bool read_whole(const char *path, std::string &text, KorvaFragmentError *error)
{
    int why = 0;
    switch (korva::fileio::read_file(path, text, kMaxFragment, &why)) {
    case korva::fileio::ReadStatus::ok:
        return true;
    case korva::fileio::ReadStatus::missing:
        fail(error, 0, "%s: does not exist: the sink is not installed (korva sink install)", path);
        return false;
    case korva::fileio::ReadStatus::too_large:
        fail(error, 0, "%s: %s, so not the sink configuration", path, korva::fileio::too_large_text().c_str());
        return false;
    case korva::fileio::ReadStatus::failed:
        break;
    }
    if (why == 0)
        fail(error, 0, "%s: is not a regular file, so not the sink configuration", path);
    else
        fail(error, 0, "%s: cannot read the sink configuration: %s", path, std::strerror(why));
    return false;
}

} // namespace

extern "C" {

bool korva_fragment_path(char *path, size_t size, KorvaFragmentError *error)
{
    const std::string config = korva::fileio::xdg_folder("XDG_CONFIG_HOME", ".config");
    int length = -1;
    if (!config.empty())
        length = std::snprintf(path, size, "%s/pipewire/pipewire.conf.d/korva-sink.conf", config.c_str());
    else {
        fail(error, 0, "cannot tell where the PipeWire configuration lives: neither XDG_CONFIG_HOME nor the "
                       "home directory is an absolute path");
        return false;
    }
    if (length < 0 || static_cast<size_t>(length) >= size) {
        fail(error, 0, "the PipeWire configuration's path is too long");
        return false;
    }
    return true;
}

bool korva_fragment_parse(const char *text, size_t size, KorvaFragmentContents *contents, KorvaFragmentError *error)
{
    Parsed parsed;
    KorvaFragmentContents read{};
    if (!parse(std::string_view(text, size), parsed, &read.controls, error))
        return false;
    // The plug-in path sits beside the controls, in the same node.
    const std::size_t plugin = parsed.tree.member(parsed.node, "plugin");
    if (plugin != 0 && parsed.tree.values[plugin].kind == Value::scalar)
        std::snprintf(read.plugin, sizeof read.plugin, "%s", parsed.tree.text(plugin).c_str());
    *contents = read;
    return true;
}

char *korva_fragment_rewrite(const char *text, size_t size, const KorvaSinkChange *changes, int count,
                             size_t *out_size, KorvaFragmentError *error)
{
    const std::string_view source(text, size);
    Parsed parsed;
    if (!parse(source, parsed, nullptr, error))
        return nullptr;
    const Tree &tree = parsed.tree;
    // Each control is replaced where it stands; a missing one goes before
    // the '}'. The edits come in file order, so the text is made in one pass.
    struct Edit {
        std::size_t begin, end;
        std::string text;
    };
    // A field given twice counts with its last value.
    bool given[KORVA_PARAM_FIELD_COUNT] = {};
    bool found[KORVA_PARAM_FIELD_COUNT] = {};
    std::string wanted[KORVA_PARAM_FIELD_COUNT];
    for (int i = 0; i < count; ++i) {
        if (changes[i].field < 0 || changes[i].field >= KORVA_PARAM_FIELD_COUNT) {
            fail(error, 0, "no parameter field number %d", changes[i].field);
            return nullptr;
        }
        given[changes[i].field] = true;
        wanted[changes[i].field] = value_text(changes[i].value);
    }
    std::vector<Edit> edits;
    // Every line that sets the control: PipeWire would take the last.
    const Value &controls = tree.values[parsed.controls];
    for (std::size_t key = parsed.controls + 1; key < controls.after; key = tree.values[key + 1].after) {
        const KorvaParamField *field = korva_param_field_find(tree.text(key).c_str());
        if (field == nullptr || !given[field - korva_param_fields])
            continue;
        const int f = static_cast<int>(field - korva_param_fields);
        // A number is a bare word, which runs on to the next separator: one
        // must follow it (a quoted value may have had none after it).
        const std::size_t after = tree.values[key + 1].end;
        const bool separated = after >= source.size() || std::strchr("\t \r\n:,=]}", source[after]) != nullptr;
        edits.push_back({tree.values[key + 1].begin, after, separated ? wanted[f] : wanted[f] + " "});
        found[f] = true;
    }
    std::vector<std::string> added;
    for (int f = 0; f < KORVA_PARAM_FIELD_COUNT; ++f)
        if (given[f] && !found[f])
            added.push_back(std::string(1, '"').append(korva_param_fields[f].name).append("\" = ").append(wanted[f]) +
                            "\n");
    if (!added.empty()) {
        // Indented as the line of the closing brace, one step further.
        const std::size_t close = controls.end - 1;
        const std::size_t line_start = source.rfind('\n', close) + 1;   // npos + 1 == 0
        const std::string_view indent = source.substr(line_start, close - line_start);
        const bool own_line = indent.find_first_not_of(" \t") == std::string_view::npos;
        std::size_t block_size = 0;
        for (const std::string &line : added)
            block_size += (own_line ? indent.size() : 0) + 2 + line.size();
        if (block_size > kMaxFragment - std::min(source.size(), kMaxFragment)) {
            fail(error, 0, "the changed sink configuration would be larger than 1 MiB");
            return nullptr;
        }
        std::string block = own_line ? "" : "\n";
        for (const std::string &line : added)
            block.append(own_line ? indent : std::string_view()).append("  ").append(line);
        if (own_line)
            edits.push_back({line_start, line_start, block});
        else
            edits.push_back({close, close, block});
    }
    std::stable_sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.begin < b.begin; });
    std::size_t result_size = source.size();
    for (const Edit &edit : edits)
        result_size += edit.text.size() - (edit.end - edit.begin);
    if (result_size > kMaxFragment) {
        fail(error, 0, "the changed sink configuration would be larger than 1 MiB");
        return nullptr;
    }
    char *out = static_cast<char *>(std::malloc(result_size + 1));
    if (out == nullptr) {
        fail(error, 0, "out of memory");
        return nullptr;
    }
    std::size_t from = 0, to = 0;
    for (const Edit &edit : edits) {
        std::memcpy(out + to, source.data() + from, edit.begin - from);
        to += edit.begin - from;
        std::memcpy(out + to, edit.text.data(), edit.text.size());
        to += edit.text.size();
        from = edit.end;
    }
    std::memcpy(out + to, source.data() + from, source.size() - from);
    to += source.size() - from;
    out[to] = '\0';
    *out_size = to;
    return out;
}

bool korva_fragment_read(const char *path, KorvaFragmentContents *contents, KorvaFragmentError *error)
{
    std::string text;
    if (!read_whole(path, text, error))
        return false;
    if (!korva_fragment_parse(text.data(), text.size(), contents, error)) {
        place(error, path);
        return false;
    }
    return true;
}

int korva_fragment_lock(const char *path, int timeout_ms, KorvaFragmentError *error)
{
    const std::string whole(path);
    const std::size_t name = whole.rfind('/') + 1;   // npos + 1 == 0
    const std::string lock_path = whole.substr(0, name) + "." + whole.substr(name) + ".lock";
    const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        // A folder that is missing or cannot be reached is what to name.
        const int why = errno;
        const std::string folder = name > 1 ? whole.substr(0, name - 1) : name == 1 ? "/" : ".";
        struct stat entry {};
        if (stat(folder.c_str(), &entry) != 0)
            fail(error, 0, "%s: cannot use the folder: %s", folder.c_str(), std::strerror(errno));
        else if (!S_ISDIR(entry.st_mode))
            fail(error, 0, "%s: not a folder", folder.c_str());
        else
            fail(error, 0, "%s: cannot open the lock file: %s", lock_path.c_str(), std::strerror(why));
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            fail(error, 0, "%s: another writer holds the sink configuration's lock (%s)", lock_path.c_str(),
                 errno == EWOULDBLOCK ? "still after the wait" : std::strerror(errno));
            close(fd);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return fd;
}

void korva_fragment_unlock(int lock)
{
    if (lock >= 0)
        close(lock);   // releases the flock
}

bool korva_fragment_save(const char *path, const KorvaSinkChange *changes, int count, KorvaFragmentError *error)
{
    const int lock = korva_fragment_lock(path, 5000, error);
    if (lock < 0)
        return false;
    std::string text;
    bool saved = read_whole(path, text, error);
    if (saved) {
        std::size_t size = 0;
        char *changed = korva_fragment_rewrite(text.data(), text.size(), changes, count, &size, error);
        if (changed == nullptr) {
            place(error, path);
            saved = false;
        } else {
            korva::fileio::Error why;
            saved = korva::fileio::replace_file(path, changed, size, korva::fileio::NonRegular::refuse, &why);
            if (!saved)
                fail(error, 0, "%s: cannot save the sink configuration: %s%s%s", path,
                     korva::fileio::step_text(why.step), why.number != 0 ? ": " : "",
                     why.number != 0 ? std::strerror(why.number) : "");
            std::free(changed);
        }
    }
    korva_fragment_unlock(lock);
    return saved;
}

} // extern "C"

// --- the compare node's migration ---

namespace {

// A direct member of container `parent` is `child`.
bool holds(const Tree &tree, std::size_t parent, std::size_t child)
{
    const Value &container = tree.values[parent];
    if (container.kind == Value::scalar)
        return false;
    for (std::size_t at = parent + 1; at < container.after; at = tree.values[at].after)
        if (at == child)
            return true;
    return false;
}

// The first container that holds `child` directly (0: none but the root).
std::size_t parent_of(const Tree &tree, std::size_t child)
{
    for (std::size_t at = child; at-- > 0;)
        if (tree.values[at].kind != Value::scalar && tree.values[at].after > child && holds(tree, at, child))
            return at;
    return 0;
}

bool has_compare_node(const Tree &tree)
{
    for (std::size_t at = 0; at < tree.values.size(); ++at) {
        if (tree.values[at].kind != Value::object)
            continue;
        const std::size_t label = tree.member(at, "label");
        if (label != 0 && tree.values[label].kind == Value::scalar && tree.text(label) == "korva_compare")
            return true;
    }
    return false;
}

// The whitespace before `at` on its line when only whitespace is there.
bool own_line(std::string_view source, std::size_t at, std::string_view &indent)
{
    const std::size_t start = source.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t line_start = at == 0 || start == std::string_view::npos ? 0 : start + 1;
    indent = source.substr(line_start, at - line_start);
    return indent.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

extern "C" {

char *korva_fragment_migrate(const char *text, size_t size, size_t *out_size, bool *changed,
                             KorvaFragmentError *error)
{
    const std::string_view source(text, size);
    Parsed parsed;
    if (!parse(source, parsed, nullptr, error))
        return nullptr;
    const Tree &tree = parsed.tree;
    *changed = false;
    std::string result(source);
    if (!has_compare_node(tree)) {
        const std::size_t nodes = parent_of(tree, parsed.node);
        const std::size_t graph = nodes == 0 ? 0 : parent_of(tree, nodes);
        const std::size_t plugin = tree.member(parsed.node, "plugin");
        const bool alone = nodes != 0 && tree.values[nodes].kind == Value::array &&
                           tree.values[nodes].after == tree.values[parsed.node].after && parsed.node == nodes + 1;
        if (!alone || graph == 0 || tree.member(graph, "nodes") != nodes || tree.member(graph, "links") != 0 ||
            tree.member(graph, "inputs") != 0 || tree.member(graph, "outputs") != 0) {
            fail(error, static_cast<int>(tree.values[parsed.node].line),
                 "the filter graph holds more than the Korva node (links, inputs, outputs or other nodes of "
                 "your own): add the compare node by hand, nothing changed");
            return nullptr;
        }
        if (plugin == 0 || tree.values[plugin].kind != Value::scalar) {
            fail(error, static_cast<int>(tree.values[parsed.node].line),
                 "the Korva node names no plug-in: nothing changed");
            return nullptr;
        }
        const std::string plugin_text(tree.raw(plugin));
        const Value &node = tree.values[parsed.node];
        const Value &list = tree.values[nodes];
        std::string_view node_indent, list_indent;
        const bool node_alone = own_line(source, node.begin, node_indent);
        // The key `nodes` starts the line of the list, as install writes it.
        const std::size_t key = nodes - 1;
        const bool list_alone = own_line(source, tree.values[key].begin, list_indent);
        const std::string in = node_alone ? std::string(node_indent) : std::string(" ");
        const char *const node_break = node_alone ? "\n" : " ";
        std::string copies = "{ type = builtin name = input_l label = copy }";
        copies.append(node_break).append(in).append("{ type = builtin name = input_r label = copy }");
        copies.append(node_break).append(node_alone ? in : std::string());
        std::string compare = node_alone ? "\n" : "";
        compare.append(in).append("{ type = ladspa name = compare plugin = ").append(plugin_text);
        compare.append(" label = korva_compare }");
        std::string graph_in = list_alone ? "\n" : " ";
        if (list_alone)
            graph_in.append(list_indent);
        static const char *const kWiring[] = {
            "links = [",
            "  { output = \"input_l:Out\" input = \"korva:Left in\" }",
            "  { output = \"input_r:Out\" input = \"korva:Right in\" }",
            "  { output = \"input_l:Out\" input = \"compare:Input L\" }",
            "  { output = \"input_r:Out\" input = \"compare:Input R\" }",
            "  { output = \"korva:Left out\" input = \"compare:Korva L\" }",
            "  { output = \"korva:Right out\" input = \"compare:Korva R\" }",
            "]",
            "inputs = [ \"input_l:In\" \"input_r:In\" ]",
            "outputs = [ \"compare:Out L\" \"compare:Out R\" ]",
        };
        std::string wiring;
        for (const char *line : kWiring)
            wiring.append(graph_in).append(line);
        // From the end backwards, so each place still holds.
        result.insert(list.end, wiring);
        result.insert(node.end, compare);
        result.insert(node.begin, copies);
        *changed = true;
    }
    if (result.size() > kMaxFragment) {
        fail(error, 0, "the changed sink configuration would be larger than 1 MiB");
        return nullptr;
    }
    // The migrated text must read back with the same controls.
    Parsed was, check;
    KorvaSinkValues before{}, after{};
    bool same = parse(source, was, &before, error) && parse(result, check, &after, error) &&
                has_compare_node(check.tree);
    for (int i = 0; same && i < KORVA_PARAM_FIELD_COUNT; ++i)
        same = before.present[i] == after.present[i] && (!before.present[i] || before.value[i] == after.value[i]);
    if (!same) {
        fail(error, 0, "the migrated configuration would not read back the same: nothing changed");
        return nullptr;
    }
    char *out = static_cast<char *>(std::malloc(result.size() + 1));
    if (out == nullptr) {
        fail(error, 0, "out of memory");
        return nullptr;
    }
    std::memcpy(out, result.data(), result.size() + 1);
    *out_size = result.size();
    return out;
}

bool korva_fragment_migrate_file(const char *path, bool *changed, KorvaFragmentError *error)
{
    const int lock = korva_fragment_lock(path, 5000, error);
    if (lock < 0)
        return false;
    std::string text;
    bool done = read_whole(path, text, error);
    if (done) {
        std::size_t size = 0;
        char *migrated = korva_fragment_migrate(text.data(), text.size(), &size, changed, error);
        if (migrated == nullptr) {
            place(error, path);
            done = false;
        } else if (*changed) {
            korva::fileio::Error why;
            done = korva::fileio::replace_file(path, migrated, size, korva::fileio::NonRegular::refuse, &why);
            if (!done)
                fail(error, 0, "%s: cannot save the sink configuration: %s%s%s", path,
                     korva::fileio::step_text(why.step), why.number != 0 ? ": " : "",
                     why.number != 0 ? std::strerror(why.number) : "");
        }
        std::free(migrated);
    }
    korva_fragment_unlock(lock);
    return done;
}

} // extern "C"

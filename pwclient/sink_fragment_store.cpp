#include "sink_fragment_store.h"

#include "fileio/directories.h"

#include "fileio/file_replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cmath>
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
constexpr std::size_t kMaxFragment = 1 << 20;
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

// One value of PipeWire's configuration syntax (SPA JSON): a scalar (bare
// word or quoted string) or a container, with where it lies in the text.
struct Value {
    enum Kind { scalar, object, array } kind = scalar;
    std::size_t begin = 0, end = 0;   // the bytes it covers, brackets and quotes included
    int line = 0;
    std::vector<Value> keys, values;                 // object: its members, in order

    std::vector<Value> items;                        // array

    // A scalar's text, a quoted one unescaped.
    std::string text(std::string_view source) const
    {
        std::string_view raw = source.substr(begin, end - begin);
        if (raw.empty() || raw.front() != '"')
            return std::string(raw);
        std::string out;
        for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
            char c = raw[i];
            if (c == '\\' && i + 2 < raw.size()) {
                c = raw[++i];
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 'b' ? '\b' : c == 'f' ? '\f' : c;
            }
            out += c;
        }
        return out;
    }

    const Value *member(std::string_view source, std::string_view key) const
    {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].kind == scalar && keys[i].text(source) == key)
                return &values[i];
        return nullptr;
    }
};

// Reads the syntax PipeWire's configuration files use: `key = value` or
// `key: value`, commas optional, # comments, a file being one object
// without its braces.
struct Parser {
    std::string_view text;
    std::size_t at = 0;
    int line = 1;
    KorvaFragmentError *error;

    static bool separator(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ':' || c == '=';
    }

    void skip()
    {
        while (at < text.size()) {
            const char c = text[at];
            if (c == '#') {
                while (at < text.size() && text[at] != '\n')
                    ++at;
            } else if (separator(c)) {
                line += c == '\n';
                ++at;
            } else {
                return;
            }
        }
    }

    bool scalar(Value &value)
    {
        value.kind = Value::scalar;
        value.begin = at;
        value.line = line;
        if (text[at] == '"') {
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\')
                    ++at;
                if (at < text.size() && text[at] == '\n')
                    ++line;
            }
            if (at >= text.size()) {
                fail(error, value.line, "a quoted string is not closed");
                return false;
            }
            ++at;
        } else {
            while (at < text.size() && !separator(text[at]) && text[at] != '#' && text[at] != '"' &&
                   std::strchr("{}[]", text[at]) == nullptr)
                ++at;
        }
        value.end = at;
        return true;
    }

    // The members up to `close` ('}' or ']', or the end of the text for 0).
    bool container(Value &value, char close, int depth)
    {
        if (depth > kMaxDepth) {
            fail(error, line, "brackets nest more than %d deep", kMaxDepth);
            return false;
        }
        for (;;) {
            skip();
            if (at >= text.size()) {
                if (close == 0)
                    return true;
                fail(error, value.line, "the '%c' opened here is not closed", close == '}' ? '{' : '[');
                return false;
            }
            if (text[at] == '}' || text[at] == ']') {
                if (text[at] != close) {
                    fail(error, line, "'%c' closes nothing", text[at]);
                    return false;
                }
                ++at;
                value.end = at;
                return true;
            }
            if (value.kind == Value::array) {
                Value item;
                if (!any(item, depth))
                    return false;
                value.items.push_back(std::move(item));
                continue;
            }
            Value key;
            if (text[at] == '{' || text[at] == '[') {
                fail(error, line, "a key is missing before '%c'", text[at]);
                return false;
            }
            if (!scalar(key))
                return false;
            skip();
            if (at >= text.size() || text[at] == '}' || text[at] == ']') {
                fail(error, key.line, "the key %.*s has no value", static_cast<int>(key.end - key.begin),
                     text.data() + key.begin);
                return false;
            }
            Value member;
            if (!any(member, depth))
                return false;
            value.keys.push_back(std::move(key));
            value.values.push_back(std::move(member));
        }
    }

    bool any(Value &value, int depth)
    {
        value.begin = at;
        value.line = line;
        if (text[at] == '{' || text[at] == '[') {
            value.kind = text[at] == '{' ? Value::object : Value::array;
            ++at;
            return container(value, value.kind == Value::object ? '}' : ']', depth + 1);
        }
        return scalar(value);
    }
};

// The Korva node's `control` object: the object with label korva that has
// one, searched depth first.
const Value *find_controls(std::string_view source, const Value &value)
{
    if (value.kind == Value::object) {
        const Value *label = value.member(source, "label");
        const Value *control = value.member(source, "control");
        if (label != nullptr && label->kind == Value::scalar && label->text(source) == "korva" &&
            control != nullptr && control->kind == Value::object)
            return control;
        for (const Value &member : value.values)
            if (const Value *found = find_controls(source, member))
                return found;
    } else if (value.kind == Value::array) {
        for (const Value &item : value.items)
            if (const Value *found = find_controls(source, item))
                return found;
    }
    return nullptr;
}

// A control's value as a number, or false.
bool number(std::string_view source, const Value &value, double &out)
{
    if (value.kind != Value::scalar)
        return false;
    const std::string text = value.text(source);
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(out);
}

struct Parsed {
    Value root;
    const Value *controls = nullptr;
};

bool parse(std::string_view text, Parsed &parsed, KorvaSinkValues *values, KorvaFragmentError *error)
{
    Parser parser{text, 0, 1, error};
    parsed.root.kind = Value::object;
    parsed.root.line = 1;
    if (!parser.container(parsed.root, 0, 0))
        return false;
    parsed.controls = find_controls(text, parsed.root);
    if (parsed.controls == nullptr) {
        fail(error, 0, "no filter-graph node with label korva and a control = { } list");
        return false;
    }
    KorvaSinkValues read{};
    for (std::size_t i = 0; i < parsed.controls->keys.size(); ++i) {
        const Value &key = parsed.controls->keys[i];
        const Value &value = parsed.controls->values[i];
        const KorvaParamField *field = korva_param_field_find(key.text(text).c_str());
        if (field == nullptr)
            continue;   // PipeWire's to judge; kept as it is
        double number_value = 0;
        if (!number(text, value, number_value)) {
            fail(error, value.line, "the control %s has the value %.*s, which is not a number", field->name,
                 static_cast<int>(value.end - value.begin), text.data() + value.begin);
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
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            fail(error, 0, "%s: does not exist: the sink is not installed (korva sink install)", path);
        else
            fail(error, 0, "%s: cannot open the sink configuration: %s", path, std::strerror(errno));
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        fail(error, 0, "%s: is not a regular file, so not the sink configuration", path);
        return false;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            fail(error, 0, "%s: cannot read the sink configuration: %s", path, std::strerror(errno));
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxFragment) {
            close(fd);
            fail(error, 0, "%s: is larger than 1 MiB, so not the sink configuration", path);
            return false;
        }
    }
    close(fd);
    return true;
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
    const std::string_view source(text, size);
    Parsed parsed;
    KorvaFragmentContents read{};
    if (!parse(source, parsed, &read.controls, error))
        return false;
    // The plug-in path sits beside the controls, in the same node.
    std::string plugin;
    std::vector<const Value *> stack{&parsed.root};
    while (!stack.empty() && plugin.empty()) {
        const Value *value = stack.back();
        stack.pop_back();
        const Value *label = value->member(source, "label");
        const Value *path = value->member(source, "plugin");
        if (label != nullptr && label->text(source) == "korva" && path != nullptr && path->kind == Value::scalar)
            plugin = path->text(source);
        for (const Value &member : value->values)
            stack.push_back(&member);
        for (const Value &item : value->items)
            stack.push_back(&item);
    }
    std::snprintf(read.plugin, sizeof read.plugin, "%s", plugin.c_str());
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
    // Each control is replaced where it stands, from the last to the first
    // so earlier offsets stay valid; a missing one goes before the '}'.
    struct Edit {
        std::size_t begin, end;
        std::string text;
    };
    // A field given twice counts with its last value.
    bool given[KORVA_PARAM_FIELD_COUNT] = {};
    float wanted[KORVA_PARAM_FIELD_COUNT] = {};
    for (int i = 0; i < count; ++i) {
        if (changes[i].field < 0 || changes[i].field >= KORVA_PARAM_FIELD_COUNT) {
            fail(error, 0, "no parameter field number %d", changes[i].field);
            return nullptr;
        }
        given[changes[i].field] = true;
        wanted[changes[i].field] = changes[i].value;
    }
    std::vector<Edit> edits;
    std::string added;
    for (int f = 0; f < KORVA_PARAM_FIELD_COUNT; ++f) {
        if (!given[f])
            continue;
        const char *name = korva_param_fields[f].name;
        const std::string number = value_text(wanted[f]);
        // Every line that sets the control: PipeWire would take the last.
        bool found = false;
        for (std::size_t k = 0; k < parsed.controls->keys.size(); ++k) {
            if (parsed.controls->keys[k].text(source) == name) {
                const Value &value = parsed.controls->values[k];
                edits.push_back({value.begin, value.end, number});
                found = true;
            }
        }
        if (!found)
            added += "  \"" + std::string(name) + "\" = " + number + "\n";
    }
    std::string result(source);
    if (!added.empty()) {
        // Indented as the line of the closing brace, one step further.
        const std::size_t close = parsed.controls->end - 1;
        const std::size_t line_start = result.rfind('\n', close) + 1;   // npos + 1 == 0
        const std::string indent = result.substr(line_start, close - line_start);
        const bool own_line = indent.find_first_not_of(" \t") == std::string::npos;
        std::string block;
        for (std::size_t at = 0; at < added.size();) {
            const std::size_t end = added.find('\n', at);
            block += (own_line ? indent : std::string()) + added.substr(at, end + 1 - at);
            at = end + 1;
        }
        if (own_line)
            edits.push_back({line_start, line_start, block});
        else
            edits.push_back({close, close, "\n" + block});
    }
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.begin > b.begin; });
    for (const Edit &edit : edits)
        result.replace(edit.begin, edit.end - edit.begin, edit.text);
    char *out = static_cast<char *>(std::malloc(result.size() + 1));
    if (out == nullptr) {
        fail(error, 0, "out of memory");
        return nullptr;
    }
    std::memcpy(out, result.c_str(), result.size() + 1);
    *out_size = result.size();
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

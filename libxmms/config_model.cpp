#include "config_model.h"

#include <algorithm>

namespace korva::config {
namespace {

constexpr std::string_view kSpace = " \t\r\n\v\f";

bool has_line_break(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool is_trimmed_name(std::string_view s)
{
    return !s.empty() && trim(s).size() == s.size() && !has_line_break(s);
}

bool ends_section(const Line &line)
{
    return line.kind == LineKind::section || line.kind == LineKind::broken_section;
}

Line classify(std::string text, std::string eol)
{
    Line line;
    const std::string_view t = trim(text);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
        line.kind = LineKind::section;
        line.name = trim(t.substr(1, t.size() - 2));
    } else if (!t.empty() && t.front() == '[') {
        line.kind = LineKind::broken_section;
    } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos && !trim(t.substr(0, eq)).empty()) {
        line.kind = LineKind::entry;
        line.name = trim(t.substr(0, eq));
        line.value = trim(t.substr(eq + 1));
    }
    line.text = std::move(text);
    line.eol = std::move(eol);
    return line;
}

Line make_entry(std::string_view key, std::string_view value, const std::string &eol)
{
    Line line;
    line.kind = LineKind::entry;
    line.name = key;
    line.value = trim(value);
    line.text.append(key).append("=").append(value);
    line.eol = eol;
    return line;
}

}  // namespace

std::string_view trim(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = s.find_last_not_of(kSpace);
    return s.substr(first, last - first + 1);
}

std::vector<Line> parse(std::string_view text)
{
    std::vector<Line> lines;
    // One allocation of the exact size: no growth leaves a second copy behind.
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            lines.push_back(classify(std::string(text.substr(start)), ""));
            break;
        }
        std::string_view body = text.substr(start, nl - start);
        const bool crlf = !body.empty() && body.back() == '\r';
        if (crlf)
            body.remove_suffix(1);
        lines.push_back(classify(std::string(body), std::string(crlf ? "\r\n" : "\n")));
        start = nl + 1;
    }
    return lines;
}

std::string dominant_eol(const std::vector<Line> &lines)
{
    for (const Line &line : lines)
        if (!line.eol.empty())
            return line.eol;
    return "\n";
}

std::string serialize(const std::vector<Line> &lines, const std::string &eol)
{
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        out += lines[i].eol.empty() && i + 1 < lines.size() ? eol : lines[i].eol;
    }
    return out;
}

std::optional<std::size_t> find_entry(const std::vector<Line> &lines, std::string_view section,
                                      std::string_view key)
{
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        if (ends_section(line))
            inside = line.kind == LineKind::section && line.name == section;
        else if (inside && line.kind == LineKind::entry && line.name == key)
            return i;
    }
    return std::nullopt;
}

bool set_entry(std::vector<Line> &lines, const std::string &eol, std::string_view section,
               std::string_view key, std::string_view value)
{
    if (!is_trimmed_name(section) || !is_trimmed_name(key) || key.find('=') != std::string_view::npos ||
        key.front() == '[' || has_line_break(value))
        return false;

    if (const auto at = find_entry(lines, section, key)) {
        Line &line = lines[*at];
        line = make_entry(key, value, line.eol);
        return true;
    }

    // New key: after the last entry of the first section of that name.
    for (std::size_t h = 0; h < lines.size(); ++h) {
        if (lines[h].kind != LineKind::section || lines[h].name != section)
            continue;
        std::size_t insert_at = h + 1;
        for (std::size_t i = h + 1; i < lines.size() && !ends_section(lines[i]); ++i)
            if (lines[i].kind == LineKind::entry)
                insert_at = i + 1;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), make_entry(key, value, eol));
        return true;
    }

    // New section at the end of the file, after a blank separator line.
    if (!lines.empty() && !trim(lines.back().text).empty())
        lines.push_back(Line{LineKind::other, "", eol, "", ""});
    Line header;
    header.kind = LineKind::section;
    header.name = section;
    header.text.append("[").append(section).append("]");
    header.eol = eol;
    lines.push_back(std::move(header));
    lines.push_back(make_entry(key, value, eol));
    return true;
}

}  // namespace korva::config

// The player's configuration calls. No exception leaves them: each entry
// point that reaches C++ code which can throw (allocation, a lock) catches
// everything at its edge and returns its documented failure result.
#include "config_model.h"
#include "home_config.h"
#include "libxmms/xmms_configfile.h"

#include "fileio/directories.h"
#include "fileio/file_read.h"
#include "fileio/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>


namespace {

std::mutex default_name_mutex;
std::string default_name_override;  // empty: the usual place

char *copy_string(const std::string &s) noexcept
{
    char *copy = static_cast<char *>(std::malloc(s.size() + 1));
    if (copy != nullptr)
        std::memcpy(copy, s.c_str(), s.size() + 1);
    return copy;
}

struct DefaultName {
    std::string path;      // empty when there is no home directory at all
    bool in_home = false;  // the usual place, whose directory may be created
};

// Chosen name, else $XMMS_CONFIG_FILE, else ~/.xmms/config.
DefaultName default_name()
{
    {
        std::lock_guard<std::mutex> guard(default_name_mutex);
        if (!default_name_override.empty())
            return {default_name_override, false};
    }
    const char *env = std::getenv("XMMS_CONFIG_FILE");
    if (env != nullptr && *env != '\0')
        return {env, false};
    return {korva::config::home_config_name(), true};
}

ConfigFile *load(const char *path, bool missing_is_empty)
{
    std::string text;
    switch (korva::fileio::read_file(path, text)) {
    case korva::fileio::ReadStatus::failed:
        return nullptr;
    case korva::fileio::ReadStatus::too_large:
        // Not read, so never written over either: every caller stops at a
        // handle it could not open.
        std::fprintf(stderr, "xmms_cfg: %s: %s, so not read as a configuration file\n", path,
                     korva::fileio::too_large_text().c_str());
        return nullptr;
    case korva::fileio::ReadStatus::missing:
        return missing_is_empty ? new ConfigFile() : nullptr;
    case korva::fileio::ReadStatus::ok:
        break;
    }
    auto *cfg = new ConfigFile();
    cfg->lines = korva::config::parse(text);
    cfg->eol = korva::config::dominant_eol(cfg->lines);
    return cfg;
}

const korva::config::Line *lookup(ConfigFile *cfg, const char *section, const char *key) noexcept
{
    if (cfg == nullptr || section == nullptr || key == nullptr)
        return nullptr;
    const auto at = korva::config::find_entry(cfg->lines, section, key);
    return at ? &cfg->lines[*at] : nullptr;
}

// A whole decimal number within the 32-bit range, optional sign; anything
// else (empty, trailing text, hexadecimal, overflow) is not an integer. The
// value is already trimmed, so strtoll finds no leading white space to skip.
bool parse_int(const std::string &text, int &value) noexcept
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// A handle that lost a key write is never saved: the file keeps its old
// content rather than a configuration without the key. Said once per handle.
bool save(ConfigFile *cfg, const char *path, bool make_parent)
{
    if (cfg->write_lost) {
        if (!cfg->write_lost_told)
            std::fputs("xmms_cfg: a key could not be set (out of memory); the configuration file is left as it was\n",
                       stderr);
        cfg->write_lost_told = true;
        return false;
    }
    if (path == nullptr || *path == '\0')
        return false;
    const std::string text = korva::config::serialize(cfg->lines, cfg->eol);
    // The file's own directory (~/.xmms), with 0755 less the umask.
    if (make_parent) {
        const std::string target = path;
        const std::size_t slash = target.rfind('/');
        if (slash != std::string::npos && slash > 0 &&
            !korva::fileio::make_directories(target.substr(0, slash).c_str(), 0755))
            return false;
    }
    // An existing target that is not a regular file is refused.
    return korva::fileio::replace_file(path, text.data(), text.size(), korva::fileio::NonRegular::refuse);
}

}  // namespace

std::string korva::config::home_config_name()
{
    const std::string home = korva::fileio::home_directory();
    return home.empty() ? std::string() : home + "/.xmms/config";
}

extern "C" ConfigFile *xmms_cfg_new(void)
{
    try {
        return new ConfigFile();
    } catch (...) {
        return nullptr;
    }
}

extern "C" ConfigFile *xmms_cfg_open_file(const char *path)
{
    if (path == nullptr)
        return nullptr;
    try {
        return load(path, false);
    } catch (...) {
        return nullptr;
    }
}

extern "C" ConfigFile *xmms_cfg_open_default_file(void)
{
    try {
        const DefaultName name = default_name();
        if (name.path.empty())
            return nullptr;
        return load(name.path.c_str(), true);
    } catch (...) {
        return nullptr;
    }
}

extern "C" int xmms_cfg_write_file(ConfigFile *cfg, const char *path)
{
    if (cfg == nullptr || path == nullptr)
        return 0;
    try {
        return save(cfg, path, false) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" int xmms_cfg_write_default_file(ConfigFile *cfg)
{
    if (cfg == nullptr)
        return 0;
    try {
        const DefaultName name = default_name();
        return !name.path.empty() && save(cfg, name.path.c_str(), name.in_home) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" void xmms_cfg_free(ConfigFile *cfg)
{
    delete cfg;
}

// Reading allocates nothing but the malloc'ed copy of a string, which
// reports its own failure; the lookups compare in place.
extern "C" int xmms_cfg_read_int(ConfigFile *cfg, const char *section, const char *key, int *value)
{
    if (value == nullptr)
        return 0;
    const korva::config::Line *line = lookup(cfg, section, key);
    int parsed = 0;
    if (line == nullptr || !parse_int(line->value, parsed))
        return 0;
    *value = parsed;
    return 1;
}

extern "C" int xmms_cfg_read_string(ConfigFile *cfg, const char *section, const char *key, char **value)
{
    if (value == nullptr)
        return 0;
    const korva::config::Line *line = lookup(cfg, section, key);
    if (line == nullptr)
        return 0;
    char *copy = copy_string(line->value);
    if (copy == nullptr)
        return 0;
    *value = copy;
    return 1;
}

extern "C" void xmms_cfg_write_int(ConfigFile *cfg, const char *section, const char *key, int value)
{
    if (cfg == nullptr || section == nullptr || key == nullptr)
        return;
    try {
        korva::config::set_entry(cfg->lines, cfg->eol, section, key, std::to_string(value));
    } catch (...) {
        cfg->write_lost = true;
    }
}

extern "C" void xmms_cfg_write_string(ConfigFile *cfg, const char *section, const char *key, const char *value)
{
    if (cfg == nullptr || section == nullptr || key == nullptr || value == nullptr)
        return;
    try {
        korva::config::set_entry(cfg->lines, cfg->eol, section, key, value);
    } catch (...) {
        cfg->write_lost = true;
    }
}

extern "C" void xmms_cfg_set_default_filename(const char *path)
{
    try {
        std::lock_guard<std::mutex> guard(default_name_mutex);
        default_name_override = path != nullptr ? path : "";
    } catch (...) {
    }
}

extern "C" char *xmms_cfg_get_default_filename(void)
{
    try {
        const DefaultName name = default_name();
        return name.path.empty() ? nullptr : copy_string(name.path);
    } catch (...) {
        return nullptr;
    }
}

#include "setup_actions.h"

#include "preset_file/preset_write.h"
#include "fileio/directories.h"
#include "fileio/file_read.h"

#include <glib.h>

#include <cstring>

namespace korva_control {

namespace {

// Runs `argv` and waits for it: its standard output, and whether it exited 0.
bool run(const char *const *argv, std::string &output, std::string &error)
{
    gchar *out = nullptr, *err = nullptr;
    gint status = 0;
    GError *failure = nullptr;
    const gboolean ran = g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                                      nullptr, &out, &err, &status, &failure);
    output = out != nullptr ? out : "";
    if (!ran) {
        error = failure != nullptr ? failure->message : "cannot run it";
        g_clear_error(&failure);
    } else if (!g_spawn_check_wait_status(status, nullptr)) {
        error = err != nullptr && *err != '\0' ? err : std::string(argv[0]) + " failed";
        while (!error.empty() && error.back() == '\n')
            error.pop_back();
    }
    g_free(out);
    g_free(err);
    return ran && g_spawn_check_wait_status(status, nullptr);
}

std::string folder_file(const char *variable, const char *home_part, const char *name)
{
    const std::string folder = korva::fileio::xdg_folder(variable, home_part);
    return folder.empty() ? std::string() : folder + "/korva/" + name;
}

// The "name" of a pw-metadata value such as {"name":"korva_sink"}.
std::string json_name(const std::string &line)
{
    const auto key = line.find("\"name\"");
    if (key == std::string::npos)
        return {};
    const auto open = line.find('"', line.find(':', key + 6) + 1);
    const auto close = open == std::string::npos ? open : line.find('"', open + 1);
    return close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
}

// The value pw-metadata lists for `key` in the "default" metadata.
std::string metadata_name(const std::string &listing, const std::string &key)
{
    const std::string wanted = "key:'" + key + "'";
    size_t start = 0;
    while (start < listing.size()) {
        const size_t end = listing.find('\n', start);
        const std::string line = listing.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.find(wanted) != std::string::npos)
            return json_name(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

}  // namespace

std::string pending_settings_file()
{
    return folder_file("XDG_CONFIG_HOME", ".config", "pending-sink.kp");
}

bool read_pending_settings(const std::string &file, KorvaParams &params)
{
    return !file.empty() && korva_read_preset(file.c_str(), &params) == 1;
}

bool write_pending_settings(const std::string &file, const KorvaParams &params, std::string &error)
{
    if (file.empty()) {
        error = "no home folder to keep the settings in";
        return false;
    }
    const std::string folder = file.substr(0, file.rfind('/'));
    int why = 0;
    if (!korva::fileio::make_directories(folder.c_str(), 0777, &why)) {
        error = folder + ": cannot create the folder: " + std::strerror(why);
        return false;
    }
    korva::fileio::Error failure;
    if (!korva::preset::write_file(params, file.c_str(), &failure)) {
        error = file + ": cannot keep the settings: " + korva::fileio::step_text(failure.step);
        return false;
    }
    return true;
}

bool user_systemd_answers()
{
    const char *const argv[] = {"systemctl", "--user", "show-environment", nullptr};
    std::string output, error;
    return run(argv, output, error);
}

bool run_user_systemctl(const char *const *args, std::string &error)
{
    const char *argv[8] = {"systemctl", "--user"};
    int n = 2;
    for (; args[n - 2] != nullptr && n < 7; ++n)
        argv[n] = args[n - 2];
    argv[n] = nullptr;
    std::string output;
    return run(argv, output, error);
}

std::string default_sink()
{
    const char *const argv[] = {"pw-metadata", "-n", "default", "0", nullptr};
    std::string output, error;
    if (!run(argv, output, error))
        return {};
    const std::string chosen = metadata_name(output, "default.configured.audio.sink");
    return chosen.empty() ? metadata_name(output, "default.audio.sink") : chosen;
}

bool set_default_sink(const std::string &name, std::string &error)
{
    std::string output;
    if (name.empty()) {
        const char *const argv[] = {"pw-metadata", "-n", "default", "-d", "0", "default.configured.audio.sink", nullptr};
        return run(argv, output, error);
    }
    // A name is an ordinary node name: no quotes or backslashes to escape.
    if (name.find_first_of("\"\\") != std::string::npos) {
        error = "the output's name \"" + name + "\" cannot be written as the default";
        return false;
    }
    const std::string value = "{ \"name\": \"" + name + "\" }";
    const char *const argv[] = {"pw-metadata", "-n", "default", "0", "default.configured.audio.sink",
                                value.c_str(), "Spa:String:JSON", nullptr};
    return run(argv, output, error);
}

std::string previous_output_file()
{
    return folder_file("XDG_STATE_HOME", ".local/state", "output-before-korva");
}

}  // namespace korva_control

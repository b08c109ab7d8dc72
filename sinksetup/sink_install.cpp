#include "sink_install.h"

#include "fileio/directories.h"
#include "engine/param_fields.h"
#include "fileio/file_replace.h"
#include "sinkfiles/sink_fragment_store.h"
#include "sink_fragment.h"
#include "sink_plugin.h"

#include <climits>
#include <cstring>

namespace {

// How long an install waits for another writer of the fragment.
constexpr int kLockMs = 5000;

} // namespace

std::string install_sink(const KorvaParams &params, SinkInstalled &installed)
{
    const std::string plugin = ladspa_plugin_path();
    if (std::string problem = check_plugin_path(plugin); !problem.empty())
        return problem;
    if (std::string problem = check_ladspa_plugin(plugin); !problem.empty())
        return problem;
    // Each value as the sink's control takes it (a kept or loaded block may
    // hold more than the window offers).
    KorvaParams clamped = params;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const KorvaParamField *field = &korva_param_fields[i];
        korva_param_set(&clamped, field,
                        static_cast<int32_t>(korva_sink_control_value(i, korva_param_get(&params, field))));
    }
    std::string fragment;
    if (std::string problem = sink_fragment(sink_template(), plugin, clamped, fragment); !problem.empty())
        return problem;

    char found[PATH_MAX];
    KorvaFragmentError error{};
    if (!korva_fragment_path(found, sizeof found, &error))
        return error.message;
    const std::string path = found;
    const std::string folder = path.substr(0, path.rfind('/'));
    if (int why = 0; !korva::fileio::make_directories(folder.c_str(), 0777, &why))
        return folder + ": cannot create the directory: " + std::strerror(why);
    // Under the writers' lock: a `korva sink set` at the same moment lands
    // before or after, never in between.
    const int lock = korva_fragment_lock(path.c_str(), kLockMs, &error);
    if (lock < 0)
        return error.message;
    korva::fileio::Error why;
    const bool written = korva::fileio::replace_file(path.c_str(), fragment.data(), fragment.size(),
                                                     korva::fileio::NonRegular::refuse, &why);
    korva_fragment_unlock(lock);
    if (!written)
        return path + ": cannot write the sink configuration: " + korva::fileio::step_text(why.step) +
               (why.number != 0 ? std::string(": ") + std::strerror(why.number) : std::string());
    installed.path = path;
    installed.plugin = plugin;
    return {};
}

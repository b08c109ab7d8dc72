// The app list of `korva sink apps`: the programs whose streams bypass Korva
// and go straight to the output it plays into (korva sink follow applies
// it). $XDG_CONFIG_HOME/korva/sink-apps (~/.config without XDG_CONFIG_HOME),
// written whole through the file-safety module under the writers' lock of
// sink_fragment_store.h (.sink-apps.lock beside it):
//
//   # comment
//   exclude "NAME"
//
// NAME is matched, without regard to ASCII case, against a stream's
// application.name and application.process.binary. Quoting as in the
// profiles file: \" and \\ inside, no control characters, not empty. A line
// the reader cannot follow is an error naming its line ("line 3: ..."), and
// the file is then never written over; so is a file larger than 1 MiB. A
// name given on two lines is one name.
#ifndef KORVA_SINKFILES_SINK_APPS_H
#define KORVA_SINKFILES_SINK_APPS_H

#include <string>
#include <vector>

namespace korva::sinkfiles {

struct SinkApps {
    std::vector<std::string> excluded;   // in file order, each once
};

// The file's path; false, with `problem`, when neither XDG_CONFIG_HOME nor
// the home directory is an absolute path.
bool sink_apps_path(std::string &path, std::string &problem);

// The names of a text; false with `problem` "line N: ..." for a line that is
// not a comment, blank or `exclude "NAME"`, or for more than 1 MiB.
bool parse_sink_apps(const std::string &text, SinkApps &apps, std::string &problem);

// The file's names: a missing file is none. A problem starts with the path
// ("PATH:N: ..." for a line).
bool read_sink_apps(const std::string &path, SinkApps &apps, std::string &problem);

// `text` with NAME excluded (a line added at the end when it is not there
// yet) or included again (every line that excludes it left out; the others
// stay as they were). False with `problem` when `text` does not read or NAME
// cannot be written (empty, a control character).
bool change_sink_apps_text(const std::string &text, const std::string &name, bool exclude, std::string &changed,
                           std::string &problem);

// The change of change_sink_apps_text made to the file under the writers'
// lock, its folder made when missing. `changed` tells whether the list
// changed (a name excluded already, or not excluded, changes nothing).
bool change_sink_apps(const std::string &path, const std::string &name, bool exclude, bool &changed,
                      std::string &problem);

// Whether a program named `application` with the binary `binary` is in the
// list (either may be empty).
bool sink_apps_match(const SinkApps &apps, const std::string &application, const std::string &binary);

} // namespace korva::sinkfiles

#endif

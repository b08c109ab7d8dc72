// The folder LOAD and SAVE open at, kept across runs in
// $XDG_CONFIG_HOME/korva/last-preset-folder (~/.config without it): one
// line, the folder's absolute path ending in '/'.
#ifndef KORVA_CONTROL_PRESET_FOLDER_H
#define KORVA_CONTROL_PRESET_FOLDER_H

#include <string>

namespace korva_control {

// The file's path; empty when neither XDG_CONFIG_HOME nor the home directory
// is an absolute path.
std::string preset_folder_file();

// The folder kept in `file`; empty when there is none (missing, unreadable,
// not an absolute path).
std::string read_preset_folder(const std::string &file);

// The folder of a preset path ("/a/b/x.kp" -> "/a/b/"; a path ending in '/'
// is itself a folder); empty for a path that is not absolute.
std::string folder_of(const std::string &preset_path);

// Keeps `folder` in `file` through a replacement of the whole file, making
// the directories first. False (with `error` saying why) when it cannot.
bool write_preset_folder(const std::string &file, const std::string &folder, std::string &error);

}  // namespace korva_control

#endif

#include "preset_folder.h"

#include "fileio/directories.h"
#include "fileio/file_read.h"
#include "fileio/file_replace.h"

#include <cstring>

namespace korva_control {

std::string preset_folder_file()
{
    const std::string config = korva::fileio::xdg_folder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? config : config + "/korva/last-preset-folder";
}

std::string read_preset_folder(const std::string &file)
{
    std::string text;
    if (file.empty() || korva::fileio::read_file(file.c_str(), text) != korva::fileio::ReadStatus::ok)
        return {};
    text = text.substr(0, text.find('\n'));
    return folder_of(text);
}

std::string folder_of(const std::string &preset_path)
{
    if (preset_path.empty() || preset_path[0] != '/')
        return {};
    return preset_path.substr(0, preset_path.rfind('/') + 1);
}

bool write_preset_folder(const std::string &file, const std::string &folder, std::string &error)
{
    if (file.empty()) {
        error = "no folder for Korva's settings: neither XDG_CONFIG_HOME nor the home directory is an absolute path";
        return false;
    }
    const std::string directory = file.substr(0, file.rfind('/'));
    if (int why = 0; !korva::fileio::make_directories(directory.c_str(), 0777, &why)) {
        error = directory + ": cannot create the directory: " + std::strerror(why);
        return false;
    }
    const std::string text = folder + "\n";
    korva::fileio::Error why;
    if (!korva::fileio::replace_file(file.c_str(), text.data(), text.size(), korva::fileio::NonRegular::refuse, &why)) {
        error = file + ": cannot write: " + std::strerror(why.number);
        return false;
    }
    return true;
}

}  // namespace korva_control

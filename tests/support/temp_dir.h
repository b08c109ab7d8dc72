// A directory of a test's or fuzz target's own under the system's temporary
// directory, removed with everything in it at destruction. Needs no test
// framework: the fuzz targets use it as well as the tests (ScratchDir).
#ifndef KORVA_TESTS_SUPPORT_TEMP_DIR_H
#define KORVA_TESTS_SUPPORT_TEMP_DIR_H

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace korva_test {

// Names of the entries of a directory, sorted; none when it cannot be read.
inline std::vector<std::string> list_directory(const std::filesystem::path &dir)
{
    std::vector<std::string> names;
    std::error_code failed;
    for (std::filesystem::directory_iterator it(dir, failed), end; !failed && it != end; it.increment(failed))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct TempDir {
    std::filesystem::path path;  // empty when no directory could be made

    TempDir()
    {
        std::error_code failed;
        std::filesystem::path base = std::filesystem::temp_directory_path(failed);
        if (failed)
            base = "/tmp";
        std::string pattern = (base / "korva-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string file(const std::string &name) const { return (path / name).string(); }

    // Names of the entries, sorted.
    std::vector<std::string> entries() const { return list_directory(path); }

    // Removes every entry, keeping the directory.
    void clear() const
    {
        std::error_code failed;
        for (std::filesystem::directory_iterator it(path, failed), end; !failed && it != end; it.increment(failed)) {
            std::error_code ignored;
            std::filesystem::remove_all(it->path(), ignored);
        }
    }
};

}  // namespace korva_test

#endif

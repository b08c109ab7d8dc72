// Helpers shared by the plug-in tests: a scratch directory, test audio and a
// configuration file of the test's own, so no test touches ~/.xmms/config.
#ifndef KORVA_TESTS_PLUGIN_TEST_SUPPORT_H
#define KORVA_TESTS_PLUGIN_TEST_SUPPORT_H

#include "engine/korva.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korva_test {

// A fresh directory under the system's temporary directory, removed again
// with everything in it.
struct ScratchDir {
    std::filesystem::path path;

    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korva-plugin-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string file(const std::string &name) const { return (path / name).string(); }
};

// Interleaved stereo: two tones and a little noise, loud enough to clip with
// some settings, different on left and right.
inline std::vector<int16_t> stereo_signal(int frames, uint32_t seed = 1)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    uint32_t state = seed;
    for (int i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(state >> 16) / 65536.0 - 0.5;
        const double left = 20000.0 * std::sin(i * 0.031) + 4000.0 * noise;
        const double right = 15000.0 * std::sin(i * 0.0077 + 1.0) - 3000.0 * noise;
        samples[2 * static_cast<size_t>(i)] = static_cast<int16_t>(left);
        samples[2 * static_cast<size_t>(i) + 1] = static_cast<int16_t>(right);
    }
    return samples;
}

#ifdef KORVA_PLUGIN_PATH
// The plug-in binds its own names to itself, so its globals are reached at
// the plug-in's own addresses, never through copies in the test binary.
template <class T>
T plugin_global(const char *name)
{
    static void *plugin = dlopen(KORVA_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    void *address = plugin != nullptr ? dlsym(plugin, name) : nullptr;
    return address != nullptr ? *static_cast<T *>(address) : T{};
}

// The plug-in's engine (`korva`), null while it has none.
inline KorvaEngine *plugin_korva()
{
    return plugin_global<KorvaEngine *>("korva");
}

// The plug-in's configuration window (`window1`), null while none is open.
inline struct _GtkWidget *plugin_window1()
{
    return plugin_global<struct _GtkWidget *>("window1");
}
#endif

inline std::string read_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace korva_test

#endif

// The built LV2 or LADSPA plug-in, loaded with dlopen as a host loads it,
// behind one small interface so a test runs the same steps on both.
#ifndef KORVA_TESTS_SUPPORT_LOADED_PLUGIN_H
#define KORVA_TESTS_SUPPORT_LOADED_PLUGIN_H

#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace plugin_core_test {

enum class Standard { lv2, ladspa };

inline const char *name_of(Standard s)
{
    return s == Standard::lv2 ? "LV2" : "LADSPA";
}

class LoadedPlugin {
public:
    LoadedPlugin(Standard standard, double rate) : standard_(standard)
    {
        library_ = dlopen(standard == Standard::lv2 ? KORVA_LV2_OBJECT : KORVA_LADSPA_OBJECT, RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr)
            return;
        if (standard == Standard::lv2) {
            auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library_, "lv2_descriptor"));
            lv2_ = entry != nullptr ? entry(0) : nullptr;
            if (lv2_ != nullptr && std::strcmp(lv2_->URI, "urn:korva:enhancer") == 0)
                handle_ = lv2_->instantiate(lv2_, rate, KORVA_LV2_BUNDLE_DIR, nullptr);
        } else {
            auto entry = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library_, "ladspa_descriptor"));
            ladspa_ = entry != nullptr ? entry(0) : nullptr;
            if (ladspa_ != nullptr && std::strcmp(ladspa_->Label, "korva") == 0)
                handle_ = ladspa_->instantiate(ladspa_, static_cast<unsigned long>(rate));
        }
    }
    ~LoadedPlugin()
    {
        if (handle_ != nullptr)
            standard_ == Standard::lv2 ? lv2_->cleanup(handle_) : ladspa_->cleanup(handle_);
        if (library_ != nullptr)
            dlclose(library_);
    }
    LoadedPlugin(const LoadedPlugin &) = delete;
    LoadedPlugin &operator=(const LoadedPlugin &) = delete;

    bool ok() const { return handle_ != nullptr; }
    std::string error() const { return library_ == nullptr ? dlerror() : "no descriptor or instance"; }

    void connect(uint32_t port, float *data)
    {
        standard_ == Standard::lv2 ? lv2_->connect_port(handle_, port, data)
                                   : ladspa_->connect_port(handle_, port, data);
    }
    void activate() { standard_ == Standard::lv2 ? lv2_->activate(handle_) : ladspa_->activate(handle_); }
    void run(uint32_t frames)
    {
        standard_ == Standard::lv2 ? lv2_->run(handle_, frames) : ladspa_->run(handle_, frames);
    }

private:
    Standard standard_;
    void *library_ = nullptr;
    const LV2_Descriptor *lv2_ = nullptr;
    const LADSPA_Descriptor *ladspa_ = nullptr;
    void *handle_ = nullptr;
};

}  // namespace plugin_core_test

#endif

#include "sndfile_reason.h"

namespace {

// libsndfile's own numbers end below this; beyond it, and at or below 0,
// sf_error_number prints a complaint of its own on standard output.
constexpr int kLastLibraryError = 1000;

bool telling(const std::string &text)
{
    return text.find("bug in libsndfile") == std::string::npos && text.find("nternal error") == std::string::npos;
}

} // namespace

std::string sndfile_reason(SNDFILE *file, const std::string &otherwise)
{
    const int error = sf_error(file);
    if (error <= SF_ERR_NO_ERROR || error >= kLastLibraryError)
        return otherwise;
    const std::string text = sf_strerror(file);   // for a system error, with the system's reason
    return telling(text) ? text : otherwise;
}

std::string sndfile_reason(int error, const std::string &otherwise)
{
    if (error <= SF_ERR_NO_ERROR || error >= kLastLibraryError)
        return otherwise;
    const std::string text = sf_error_number(error);
    return telling(text) ? text : otherwise;
}

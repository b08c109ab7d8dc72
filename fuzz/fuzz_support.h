// Helpers shared by the fuzz targets: a private scratch directory, whole-file
// writes, a reader that takes typed values off the front of the fuzz input,
// and a check that aborts (so libFuzzer and the replay tests both see a crash)
// with a message saying which property failed.
#ifndef KORVA_FUZZ_FUZZ_SUPPORT_H
#define KORVA_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <unistd.h>

namespace korva_fuzz {

[[noreturn]] inline void fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::korva_fuzz::fail(#cond, __FILE__, __LINE__))

// One directory per process (tests/support/temp_dir.h), made on first use
// and removed at exit.
inline const korva_test::TempDir &scratch()
{
    static const korva_test::TempDir dir;
    if (dir.path.empty()) {
        std::perror("korva fuzz: no scratch directory");
        std::abort();
    }
    return dir;
}

inline std::string scratch_path(const std::string &name)
{
    return scratch().file(name);
}

// Removes every entry of the scratch directory.
inline void clear_scratch()
{
    scratch().clear();
}

// Number of entries in the scratch directory.
inline int scratch_entries()
{
    return static_cast<int>(scratch().entries().size());
}

inline void write_file(const std::string &path, const uint8_t *data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

inline bool read_file(const std::string &path, std::string &out)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    out.clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

// Takes values off the front of the input; past the end everything reads as zero.
class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - at_; }
    bool empty() const { return at_ >= size_; }

    void take(void *out, size_t n)
    {
        if (n == 0)
            return;
        const size_t have = n < remaining() ? n : remaining();
        if (have > 0)
            std::memcpy(out, data_ + at_, have);
        std::memset(static_cast<unsigned char *>(out) + have, 0, n - have);
        at_ += have;
    }

    template <typename T> T value()
    {
        T v;
        take(&v, sizeof v);
        return v;
    }

    // Up to `max` bytes as a string.
    std::string bytes(size_t max)
    {
        const size_t n = max < remaining() ? max : remaining();
        std::string s(reinterpret_cast<const char *>(data_ + at_), n);
        at_ += n;
        return s;
    }

    const uint8_t *rest() const { return data_ + at_; }
    void skip_all() { at_ = size_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace korva_fuzz

#endif

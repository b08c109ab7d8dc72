#include "scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace korva_test {

ScratchDir::ScratchDir()
{
    if (path.empty())
        ADD_FAILURE() << "cannot make a scratch directory under the temporary directory: " << std::strerror(errno);
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        ADD_FAILURE() << "cannot write " << path;
}

mode_t mode_of(const std::string &path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TinyFs::TinyFs()
{
    if (!dir.path.empty())
        mounted = ::mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
}

TinyFs::~TinyFs()
{
    if (mounted)
        ::umount2(dir.path.c_str(), MNT_DETACH);
}

bool TinyFs::fill()
{
    const int fd = ::open(file("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const std::string block(4096, 'x');
    bool full = false;
    for (int i = 0; i < 1024 && !full; ++i)
        full = ::write(fd, block.data(), block.size()) < 0 && errno == ENOSPC;
    // Fill the last partial page too.
    while (full && ::write(fd, "x", 1) == 1) {
    }
    ::close(fd);
    return full;
}

}  // namespace korva_test

#include "atomic_output.h"

#include "interrupt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string reason(int error_number)
{
    return std::strerror(error_number);
}

std::string directory_of(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string base_name_of(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link to an existing file is followed, so the result replaces
// the file the link points to and the link itself stays.
std::string resolve_link(const std::string &path)
{
    struct stat link_status {};
    if (lstat(path.c_str(), &link_status) != 0 || !S_ISLNK(link_status.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return path;   // dangling link: replaced like any other name
    return resolved;
}

mode_t default_file_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

AtomicOutput::~AtomicOutput()
{
    abandon_output(*this);
}

Status check_distinct(const std::string &input_path, const std::string &output_path)
{
    struct stat input_status {};
    struct stat output_status {};
    if (stat(input_path.c_str(), &input_status) != 0)
        return success();   // reading the input reports that problem
    if (stat(output_path.c_str(), &output_status) != 0)
        return success();
    if (input_status.st_dev == output_status.st_dev && input_status.st_ino == output_status.st_ino)
        return failure(output_path + ": is the same file as the input " + input_path +
                       "; refusing to overwrite the input");
    return success();
}

Status begin_output(const std::string &path, AtomicOutput &output)
{
    if (path.empty())
        return failure("the output file name is empty");
    output.final_path = resolve_link(path);
    output.committed = false;

    struct stat status {};
    const bool exists = stat(output.final_path.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode))
        return failure(path + ": is a directory");
    if (exists && !S_ISREG(status.st_mode)) {
        output.write_path = output.final_path;
        output.direct = true;
        return success();
    }

    const std::string directory = directory_of(output.final_path);
    std::string pattern = directory + "/." + base_name_of(output.final_path) + ".korva-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return failure(path + ": cannot create a temporary file in " + directory + ": " + reason(errno));
    output.write_path = name.data();
    output.direct = false;
    register_temporary_file(output.write_path.c_str());

    // The replacement keeps the old file's owner and permission bits (never
    // set-id bits). Only root may hand a file to another owner; for anyone
    // else it belongs to whoever runs korva, as after any rename.
    if (exists) {
        const int owner_kept = fchown(fd, status.st_uid, status.st_gid);
        static_cast<void>(owner_kept);
    }
    fchmod(fd, exists ? (status.st_mode & 0777) : default_file_mode());
    close(fd);
    return success();
}

Status commit_output(AtomicOutput &output)
{
    if (output.direct) {
        output.committed = true;
        return success();
    }
    if (rename(output.write_path.c_str(), output.final_path.c_str()) != 0) {
        const int error_number = errno;
        abandon_output(output);
        return failure(output.final_path + ": cannot rename the finished output into place: " +
                       reason(error_number));
    }
    register_temporary_file(nullptr);
    output.committed = true;
    return success();
}

void abandon_output(AtomicOutput &output)
{
    if (!output.committed && !output.direct && !output.write_path.empty()) {
        register_temporary_file(nullptr);
        unlink(output.write_path.c_str());
    }
    output.write_path.clear();
}

#include "process/work_directory.hpp"

#include "disk/descriptor.hpp"
#include "text/messages.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace osc {

namespace {

// The directory and its files' names ("name\0name\0\0"), for a signal handler to remove.
char pending_path[4096];
char pending_names[1024];

} // namespace

std::string temporary_base()
{
    const char *const tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

WorkDirectory::~WorkDirectory()
{
    if (path_.empty()) return;
    pending_path[0] = '\0';
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string WorkDirectory::create(const std::string &base, const char *caller,
                                  const std::vector<std::string> &names)
{
    std::string pattern = base + "/" + caller + ".XXXXXX";
    std::size_t listed = 1;
    for (const std::string &name : names) listed += name.size() + 1;
    if (pattern.size() >= sizeof pending_path || listed > sizeof pending_names) return reason(ENAMETOOLONG);
    if (::mkdtemp(pattern.data()) == nullptr) return reason(errno);
    // Programs run in it, so the names given to them must not be relative.
    std::error_code ignored;
    const std::filesystem::path full = std::filesystem::absolute(pattern, ignored);
    path_ = full.empty() || full.string().size() >= sizeof pending_path ? pattern : full.string();
    char *at = pending_names;
    for (const std::string &name : names) at = std::strcpy(at, name.c_str()) + name.size() + 1;
    *at = '\0';
    std::strcpy(pending_path, path_.c_str());
    return "";
}

std::string WorkDirectory::write(const std::string &name, const std::string &content) const
{
    const int error = write_file(file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, content);
    return error == 0 ? "" : reason(error);
}

void remove_work_directory_now()
{
    if (pending_path[0] == '\0') return;
    char file[sizeof pending_path + sizeof pending_names];
    for (const char *name = pending_names; *name != '\0'; name += std::strlen(name) + 1) {
        std::strcpy(file, pending_path);
        std::strcat(file, "/");
        std::strcat(file, name);
        ::unlink(file);
    }
    ::rmdir(pending_path);
}

} // namespace osc

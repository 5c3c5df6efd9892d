#include "disk/replace.hpp"

#include "disk/descriptor.hpp"
#include "signals/signals.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

namespace {

// The hidden file being written, for a signal handler to remove; "" when there is none.
char pending[4096];
std::atomic<bool> has_pending{false};

// The handlers that were there before, handed on to (one that ends a child, say).
EarlierHandlers earlier_handler;

void remove_pending_and_reraise(int signal)
{
    if (has_pending.load()) ::unlink(pending);
    hand_on(signal, earlier_handler);
}

std::string directory_of(const std::string &target)
{
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : target.substr(0, slash);
}

std::string prefix_of(const char *program) { return std::string(".") + program + "-"; }

} // namespace

Replacement::~Replacement() { discard(); }

void Replacement::discard()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!hidden_.empty()) {
        has_pending.store(false);
        ::unlink(hidden_.c_str());
        hidden_.clear();
    }
}

bool Replacement::open(const char *program, const std::string &target)
{
    discard();
    const std::string directory = directory_of(target);
    remove_leftovers(directory, program);
    target_ = target;
    const std::string base = directory + "/" + prefix_of(program) + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = base + std::to_string(attempt);
        if (name.size() >= sizeof pending) {
            error_ = ENAMETOOLONG;
            return false;
        }
        std::memcpy(pending, name.c_str(), name.size() + 1);
        has_pending.store(true);
        chain_on_ending_signals(remove_pending_and_reraise, earlier_handler);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            hidden_ = name;
            return true;
        }
        has_pending.store(false);
        if (errno != EEXIST) break;
    }
    error_ = errno;
    return false;
}

bool Replacement::write(std::string_view bytes)
{
    if (write_all(fd_, bytes)) return true;
    error_ = errno;
    return false;
}

bool Replacement::commit()
{
    if (::close(fd_) != 0) {
        fd_ = -1;
        error_ = errno;
        return false;
    }
    fd_ = -1;
    if (::rename(hidden_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    has_pending.store(false);
    hidden_.clear();
    return true;
}

void remove_leftovers(const std::string &directory, const char *program)
{
    DIR *const listing = ::opendir(directory.c_str());
    if (listing == nullptr) return;
    const std::string prefix = prefix_of(program);
    while (const dirent *entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char *end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-') continue;
        // Gone means no process has that number: a running one, ours or not, keeps its file.
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::string path = directory;
            path += '/';
            path += name;
            ::unlink(path.c_str());
        }
    }
    ::closedir(listing);
}

} // namespace osc

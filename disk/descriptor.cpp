#include "disk/descriptor.hpp"

#include <fcntl.h>

#include <cerrno>
#include <unistd.h>

namespace osc {

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int write_file(const char *path, int flags, std::string_view bytes)
{
    const int fd = ::open(path, flags, 0666);
    const bool written = fd >= 0 && write_all(fd, bytes);
    const int error = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) return errno;
    return written ? 0 : error;
}

void open_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // The lowest free number is fd itself, the ones below being open by now. Standard
            // output is opened for reading only: an answer written there fails (EBADF), and the
            // tool says so, instead of vanishing with status 0.
            if (::open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY) != fd) return;
        }
}

} // namespace osc

#include "disk/png.hpp"

#include "text/messages.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

namespace {

constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
constexpr std::string_view end_chunk("\0\0\0\0IEND\xae\x42\x60\x82", 12);

} // namespace

bool png_whole(std::string_view bytes)
{
    return bytes.size() >= signature.size() + end_chunk.size() &&
           bytes.substr(0, signature.size()) == signature &&
           bytes.substr(bytes.size() - end_chunk.size()) == end_chunk;
}

std::string why_not_replaceable(const char *file) { return why_not_replaceable(file, signature, "uma imagem PNG"); }

std::string why_not_replaceable(const char *file, std::string_view signature, const char *kind)
{
    struct stat status {};
    // No entry there holds nothing to keep; what stops a file from being written there (a
    // part of the path that is no directory, say) is said when it is written.
    if (::lstat(file, &status) != 0) return "";
    if (::stat(file, &status) == 0) {
        if (S_ISDIR(status.st_mode)) return reason(EISDIR);
        if (!S_ISREG(status.st_mode)) return not_a_regular_file;
    }
    // O_NONBLOCK: what was a regular file a moment ago may be a FIFO by now.
    const int fd = ::open(file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return "não é possível ler o que lá está: " + reason(errno);
    std::string first(signature.size(), '\0');
    const ssize_t got = ::read(fd, first.data(), first.size());
    ::close(fd);
    if (got == static_cast<ssize_t>(first.size()) && first == signature) return "";
    return std::string("já existe e não é ") + kind + "; fica como está";
}

} // namespace osc

#include "oscplot/data_rows.hpp"

#include "text/messages.hpp"
#include "text/reading.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

namespace {

// What a stretch of whole lines of a data file holds.
struct Part {
    std::vector<Row> rows;
    std::size_t lines = 0;
    int columns = 0; // of its first line
    bool data = true; // every line 3 or 4 numbers, all lines alike
    int error = 0; // errno of a read that failed
};

// A row takes some 25 bytes or more as the programs write it.
std::size_t rows_in(off_t bytes) { return static_cast<std::size_t>(bytes) / 24 + 1; }

// Takes one line into the part; false once the part is known not to be data.
bool take_line(std::string_view line, Part &part)
{
    double values[4];
    const int count = row_numbers(line, values, 4);
    if (part.lines++ == 0) part.columns = count;
    if ((count != 3 && count != 4) || count != part.columns) {
        part.data = false;
        return false;
    }
    const Row row{values[count - 3], values[count - 2], values[count - 1]};
    if (std::isfinite(values[0]) && std::isfinite(row.t) && std::isfinite(row.x) &&
        std::isfinite(row.v))
        part.rows.push_back(row);
    return true;
}

// Reads the lines of fd from byte `from` up to byte `to` (a line's end), or to the end of the
// file when `to` is -1, a piece at a time.
void read_part(int fd, off_t from, off_t to, Part &part)
{
    std::string piece(1U << 18U, '\0');
    std::size_t held = 0; // the start of a line that the piece before cut
    for (;;) {
        if (held == piece.size()) piece.resize(2 * piece.size()); // a line longer than a piece
        std::size_t room = piece.size() - held;
        if (to >= 0) room = std::min(room, static_cast<std::size_t>(to - from));
        const ssize_t got = room == 0 ? 0 : ::pread(fd, &piece[held], room, from);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            part.error = errno;
            return;
        }
        from += got;
        std::string_view text(piece.data(), held + static_cast<std::size_t>(got));
        for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
            if (!take_line(text.substr(0, end), part)) return;
            text.remove_prefix(end + 1);
        }
        if (got == 0) {
            if (!text.empty()) take_line(text, part); // a last line with no newline
            return;
        }
        held = text.size();
        std::memmove(piece.data(), text.data(), held);
    }
}

// Where the second half of a file of `size` bytes starts: after the line end nearest past its
// middle; -1 when the file is too short to share, or no line ends near its middle.
off_t second_half(int fd, off_t size)
{
    if (size < (off_t{1} << 20U)) return -1;
    char window[1U << 16U];
    const ssize_t got = ::pread(fd, window, sizeof window, size / 2);
    const std::string_view text(window, got > 0 ? static_cast<std::size_t>(got) : 0);
    const std::size_t end = text.find('\n');
    return end == std::string_view::npos ? -1 : size / 2 + static_cast<off_t>(end) + 1;
}

} // namespace

DataSource::~DataSource()
{
    if (fd_ >= 0) ::close(fd_);
}

std::string DataSource::open(const std::string &file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return reason(EISDIR);
        if (!S_ISREG(status.st_mode)) return not_a_regular_file;
    }
    fd_ = ::open(file.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return reason(errno);
    char first = 0;
    ssize_t got = 0;
    while ((got = ::pread(fd_, &first, 1, 0)) < 0 && errno == EINTR) {
    }
    if (got < 0) return "não é possível ler: " + reason(errno);
    if (got == 0) return "ficheiro vazio, nada a desenhar";
    return "";
}

std::string DataSource::finite_rows(std::vector<Row> &rows) const
{
    struct stat status {};
    const off_t size = ::fstat(fd_, &status) == 0 ? status.st_size : 0;
    const off_t cut = second_half(fd_, size);
    Part first;
    Part second;
    // The first half's rows take the second's in place.
    first.rows.reserve(rows_in(size));
    // std::async hands on what the other half threw (memory that ran out) to get(); where no
    // thread can be started, get() reads the second half in this one.
    std::future<void> other;
    if (cut >= 0) {
        second.rows.reserve(rows_in(size - cut));
        other = std::async(std::launch::async | std::launch::deferred, read_part, fd_, cut, -1, std::ref(second));
    }
    read_part(fd_, 0, cut, first);
    if (other.valid()) other.get();
    if (first.error != 0 || second.error != 0)
        return "não é possível ler: " + reason(first.error != 0 ? first.error : second.error);
    if (!first.data || !second.data || (second.lines > 0 && second.columns != first.columns))
        return "não é um ficheiro de dados (esperadas linhas de 3 ou 4 números: t x v ou n t x v)";
    rows = std::move(first.rows);
    rows.insert(rows.end(), second.rows.begin(), second.rows.end());
    const std::size_t lines = first.lines + second.lines;
    if (lines < 2)
        return "tem só " + std::to_string(lines) + " linha; são precisas pelo menos duas para desenhar";
    if (rows.empty()) return "nenhuma linha tem só números finitos (há nan ou inf em todas)";
    if (rows.size() < 2)
        return "só uma linha tem só números finitos (as outras têm nan ou inf); nada a desenhar";
    return "";
}

} // namespace osc

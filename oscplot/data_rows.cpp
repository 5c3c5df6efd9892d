#include "oscplot/data_rows.hpp"

#include "text/messages.hpp"
#include "text/reading.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace osc {

namespace {

// What a stretch of whole lines of a data file holds.
struct Part {
    std::vector<Row> rows;
    std::size_t lines = 0;
    int columns = 0; // of its first line
    bool data = true; // every line 3 or 4 numbers, all lines alike
};

// A row takes some 25 bytes or more as the programs write it.
std::size_t rows_in(std::string_view text) { return text.size() / 24 + 1; }

void read_part(std::string_view text, Part &part)
{
    part.rows.reserve(rows_in(text));
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        double values[4];
        const int count = row_numbers(line, values, 4);
        if (part.lines++ == 0) part.columns = count;
        if ((count != 3 && count != 4) || count != part.columns) {
            part.data = false;
            return;
        }
        const Row row{values[count - 3], values[count - 2], values[count - 1]};
        if (std::isfinite(values[0]) && std::isfinite(row.t) && std::isfinite(row.x) &&
            std::isfinite(row.v))
            part.rows.push_back(row);
    }
}

} // namespace

std::string finite_rows(std::string_view text, std::vector<Row> &rows)
{
    // A long file is read in two halves side by side, cut at a line's end.
    std::size_t cut = text.size() < (1U << 20U) ? text.size() : text.find('\n', text.size() / 2);
    cut = cut == std::string_view::npos ? text.size() : std::min(cut + 1, text.size());
    Part first;
    Part second;
    // The first half's rows take the second's in place.
    first.rows.reserve(rows_in(text));
    std::thread other;
    if (cut < text.size()) other = std::thread(read_part, text.substr(cut), std::ref(second));
    read_part(text.substr(0, cut), first);
    if (other.joinable()) other.join();
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

std::string read_data_file(const std::string &file, std::string &text)
{
    text.clear();
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return "é um diretório";
        if (!S_ISREG(status.st_mode)) return "não é um ficheiro regular";
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return reason(errno);
    // Read straight into place, in the size the file has now; a file that grows meanwhile is
    // read to its end all the same.
    if (::fstat(fd, &status) == 0 && status.st_size > 0)
        text.resize(static_cast<std::size_t>(status.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == text.size()) text.resize(have + (1U << 16U));
        const ssize_t got = ::read(fd, &text[have], text.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            text.clear();
            return "não é possível ler: " + reason(error);
        }
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    text.resize(have);
    if (text.empty()) return "ficheiro vazio, nada a desenhar";
    return "";
}

} // namespace osc

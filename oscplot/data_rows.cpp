#include "oscplot/data_rows.hpp"

#include "text/messages.hpp"
#include "text/reading.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

std::string finite_rows(std::string_view text, std::vector<Row> &rows)
{
    rows.clear();
    std::size_t lines = 0;
    int columns = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        double values[4];
        const int count = row_numbers(line, values, 4);
        if (lines++ == 0) columns = count;
        if ((count != 3 && count != 4) || count != columns)
            return "não é um ficheiro de dados (esperadas linhas de 3 ou 4 números: t x v ou n t x v)";
        const double *const last = values + count;
        const Row row{last[-3], last[-2], last[-1]};
        if (std::isfinite(row.t) && std::isfinite(row.x) && std::isfinite(row.v) &&
            std::isfinite(values[0]))
            rows.push_back(row);
    }
    if (lines < 2) return "tem só " + std::to_string(lines) + " linha; são precisas pelo menos duas para desenhar";
    if (rows.empty()) return "nenhuma linha tem só números finitos (há nan ou inf em todas)";
    if (rows.size() < 2) return "só uma linha tem só números finitos (as outras têm nan ou inf); nada a desenhar";
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
    if (::fstat(fd, &status) == 0 && status.st_size > 0)
        text.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return "não é possível ler: " + reason(error);
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (text.empty()) return "ficheiro vazio, nada a desenhar";
    return "";
}

} // namespace osc

#include "dataformat/rows.hpp"

#include "programs/programs.hpp"
#include "text/messages.hpp"
#include "text/reading.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

std::string said(const RowsFinding &finding)
{
    const std::string expected = "não é um ficheiro de dados (esperadas linhas de 3 ou 4 números: "
                                 "t x v ou n t x v";
    switch (finding.fault) {
    case RowsFault::none: return "";
    case RowsFault::unreadable: return "não é possível ler: " + reason(finding.error);
    case RowsFault::empty: return "ficheiro vazio, nada a desenhar";
    case RowsFault::emptied:
        return "ficheiro vazio: o drivenosc esvazia os ficheiros das outras frequências quando "
               "corre numa delas";
    case RowsFault::not_rows: return expected + ")";
    case RowsFault::not_step_index:
        return expected + "; aqui há 4, mas o primeiro não conta os passos, n = t/h)";
    case RowsFault::one_line: return "tem só 1 linha; são precisas pelo menos duas para desenhar";
    case RowsFault::no_finite_row: return "nenhuma linha tem só números finitos (há nan ou inf em todas)";
    case RowsFault::one_finite_row:
        return "só uma linha tem só números finitos (as outras têm nan ou inf); nada a desenhar";
    }
    return "";
}

bool row_of(std::string_view line, Columns columns, Row &row)
{
    double values[4];
    const int count = column_count(columns);
    if (row_numbers(line, values, 4) != count) return false;
    row = {values[count - 3], values[count - 2], values[count - 1]};
    return true;
}

bool StepIndex::take(double n, double t)
{
    // Six significant digits hold each of n and t within 5e-6 of itself: a step t/n taken from
    // one row within 1e-5, and t against n times it within 2e-5, to which 3e-5 leaves room for
    // the running sum's drift. A t x v E file, its first column a time, breaks one or the other.
    if (rows_ == 0) {
        if (!(n >= 0 && n == std::floor(n))) return false;
        first_n_ = n;
        first_t_ = t;
    }
    const double count = first_n_ + rows_++;
    if (!(std::fabs(n - count) <= 1e-5 * count)) return false;
    if (n == 0) return t == 0;
    if (std::isnan(step_)) {
        step_ = t / n;
        return std::isfinite(step_);
    }
    return std::fabs(t - n * step_) <= 3e-5 * std::fabs(t);
}

bool RowsPart::take(std::string_view line)
{
    double values[4];
    const int count = line.size() > longest_line ? -1 : row_numbers(line, values, 4);
    if (count == 0) {
        ++blanks;
        return true;
    }
    if ((lines == 0 && !columns_of_count(count, columns)) || blanks > 0 || count != column_count(columns)) {
        fault = RowsFault::not_rows;
        return false;
    }
    ++lines;
    if (columns == Columns::n_t_x_v && !index.take(values[0], values[1])) {
        fault = RowsFault::not_step_index;
        return false;
    }
    const Row row{values[count - 3], values[count - 2], values[count - 1]};
    if (each) return each(row);
    if (std::isfinite(row.t) && std::isfinite(row.x) && std::isfinite(row.v)) rows.push_back(row);
    return true;
}

RowsFinding joined(RowsPart &first, RowsPart &second, std::vector<Row> &rows)
{
    for (const RowsPart *part : {&first, &second})
        if (part->fault == RowsFault::unreadable) return {RowsFault::unreadable, part->error};
    if (first.fault != RowsFault::none) return {first.fault};
    if (second.fault != RowsFault::none) return {second.fault};
    if (second.lines > 0 && first.lines + first.blanks > 0) {
        if (first.blanks > 0 || second.columns != first.columns) return {RowsFault::not_rows};
        if (first.columns == Columns::n_t_x_v && !second.index.follows(first.index))
            return {RowsFault::not_step_index};
    }
    // The first part's rows take the second's in place.
    rows = std::move(first.rows);
    rows.insert(rows.end(), second.rows.begin(), second.rows.end());
    const std::size_t lines = first.lines + second.lines;
    const Columns columns = first.lines > 0 ? first.columns : second.columns;
    if (lines == 0) return {RowsFault::not_rows};
    if (lines < 2) return {RowsFault::one_line, 0, columns};
    if (rows.empty()) return {RowsFault::no_finite_row, 0, columns};
    if (rows.size() < 2) return {RowsFault::one_finite_row, 0, columns};
    return {RowsFault::none, 0, columns};
}

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
    char first[4] = {};
    ssize_t got = 0;
    while ((got = ::pread(fd_, first, 4, 0)) < 0 && errno == EINTR) {
    }
    if (got < 0) return said({RowsFault::unreadable, errno});
    // Some editors begin a UTF-8 text with a byte-order mark; it is not part of the first row.
    if (got >= 3 && std::memcmp(first, "\xEF\xBB\xBF", 3) == 0) start_ = 3;
    // drivenosc writes the file of the frequency it runs at and empties the other two.
    const bool drivenosc_file = layout_of_file(file) == &drivenosc::layout;
    if (got == start_) return said({drivenosc_file ? RowsFault::emptied : RowsFault::empty});
    return "";
}

off_t DataSource::size() const
{
    struct stat status {};
    return ::fstat(fd_, &status) == 0 ? status.st_size : 0;
}

off_t DataSource::halfway() const
{
    const off_t size = this->size();
    if (size < (off_t{1} << 20U)) return -1;
    char window[1U << 16U];
    const ssize_t got = ::pread(fd_, window, sizeof window, size / 2);
    const std::string_view text(window, got > 0 ? static_cast<std::size_t>(got) : 0);
    const std::size_t end = text.find('\n');
    return end == std::string_view::npos ? -1 : size / 2 + static_cast<off_t>(end) + 1;
}

void DataSource::read(off_t from, off_t to, RowsPart &part, off_t share, std::size_t piece_size) const
{
    const off_t begin = from;
    if (share == 0) share = (to >= 0 ? to : size()) - begin;
    bool room_made = false;
    std::string piece(piece_size, '\0');
    std::size_t held = 0; // the start of a line that the piece before cut
    for (;;) {
        if (held == piece.size()) piece.resize(2 * piece.size()); // a line longer than a piece
        std::size_t room = piece.size() - held;
        if (to >= 0) room = std::min(room, static_cast<std::size_t>(to - from));
        const ssize_t got = room == 0 ? 0 : ::pread(fd_, &piece[held], room, from);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            part.fault = RowsFault::unreadable;
            part.error = errno;
            return;
        }
        from += got;
        std::string_view text(piece.data(), held + static_cast<std::size_t>(got));
        for (std::size_t end; (end = text.find('\n')) != std::string_view::npos;) {
            if (!part.take(text.substr(0, end))) return;
            text.remove_prefix(end + 1);
        }
        if (got > 0 && text.size() > longest_line) {
            part.fault = RowsFault::not_rows;
            return;
        }
        if (!room_made && part.lines > 0 && !part.each) {
            // As many rows as the lines so far foretell, and a quarter more; past what a vector
            // may hold (a sparse file of exabytes), what memory cannot give.
            const auto taken = static_cast<double>(from - begin) - static_cast<double>(text.size());
            const double lines = static_cast<double>(part.lines + part.blanks);
            const double foretold = 1.25 * lines * static_cast<double>(share) / taken + 16;
            const std::size_t most = part.rows.max_size();
            part.rows.reserve(foretold < static_cast<double>(most) ? static_cast<std::size_t>(foretold) : most);
            room_made = true;
        }
        if (got == 0) {
            if (!text.empty()) part.take(text); // a last line with no newline
            return;
        }
        held = text.size();
        std::memmove(piece.data(), text.data(), held);
    }
}

std::string DataSource::finite_rows(std::vector<Row> &rows, Columns *columns) const
{
    RowsPart all;
    RowsPart none;
    read(start_, -1, all);
    const RowsFinding finding = joined(all, none, rows);
    if (columns != nullptr) *columns = finding.columns;
    return said(finding);
}

int DataSource::each_line(const std::function<bool(std::string_view, bool)> &take) const
{
    const std::size_t most = longest_line + 1; // what shows that a line is longer than any row
    std::string buffer(std::size_t{1} << 16U, '\0');
    std::size_t held = 0; // the bytes of a line that the read before cut
    for (off_t at = start_;;) {
        const ssize_t got = ::pread(fd_, &buffer[held], buffer.size() - held, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        at += got;
        const std::string_view text(buffer.data(), held + static_cast<std::size_t>(got));
        std::size_t begin = 0;
        for (std::size_t end; (end = text.find('\n', begin)) != std::string_view::npos;
             begin = end + 1)
            if (!take(text.substr(begin, std::min(end - begin, most)), true)) return 0;
        const std::string_view rest = text.substr(begin);
        if (got == 0 || rest.size() >= most) {
            if (!rest.empty()) take(rest.substr(0, most), false);
            return 0;
        }
        std::memmove(buffer.data(), rest.data(), rest.size());
        held = rest.size();
    }
}

std::string read_rows(const std::string &file, std::vector<Row> &rows, Columns *columns)
{
    DataSource source;
    const std::string why = source.open(file);
    return why.empty() ? source.finite_rows(rows, columns) : why;
}

} // namespace osc

#include "text/reading.hpp"

#include "text/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace osc {

bool open_to_read(std::ifstream &in, const char *program, const char *file)
{
    // The stream would open a directory and then find nothing in it; ask the system first.
    int error = 0;
    const int fd = ::open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
    } else {
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) error = EISDIR;
        ::close(fd);
    }
    if (error == 0) {
        errno = 0;
        in.open(file);
        if (in) {
            // Some editors begin a UTF-8 text with a byte-order mark; it is not part of the
            // first number.
            char mark[3] = {};
            if (!in.read(mark, 3) || std::string(mark, 3) != "\xEF\xBB\xBF") {
                in.clear();
                in.seekg(0);
            }
            return true;
        }
        error = errno;
    }
    // Both programs' parameter files hold the same four numbers.
    const char *const held = error == ENOENT ? "; deve conter quatro números: x0 v0 N h" : "";
    refuse_file(program, "não é possível ler", file, error, held);
    return false;
}

namespace {

// The token extracted as the stream extracts a number; it is whole when the extraction
// stopped at the token's end.
template <typename Number>
Reading read_whole_as(const std::string &token, Number &value, std::size_t &used)
{
    std::istringstream in(token);
    in >> value;
    if (in.fail()) {
        used = 0;
        return Reading::unreadable;
    }
    if (in.eof()) {
        used = token.size();
        return Reading::whole;
    }
    used = static_cast<std::size_t>(in.tellg());
    return Reading::partial;
}

// The stream leaves the largest value of the type in place of one beyond its range.
bool beyond_range(double value) { return std::fabs(value) == DBL_MAX; }
bool beyond_range(int value) { return value == INT_MAX || value == INT_MIN; }

const char *expected(double /*unused*/) { return "um número (como 0.4 ou 1e-3)"; }
const char *expected(int /*unused*/) { return "um número inteiro"; }

const char *range(double /*unused*/) { return "o valor está fora do alcance de um double"; }
const char *range(int /*unused*/) { return "o valor está fora do alcance de um int"; }

// What is wrong with a token read only up to `used`. The token is refused as a whole, so
// nothing of it counts as read: what follows the number is named.
std::string partial(const std::string &token, std::size_t used, double /*unused*/)
{
    return quoted(token.substr(used)) + " não faz parte de um número";
}

// For an integer, a number with a fraction or an exponent is judged as the number it is,
// anything else by what follows its digits.
std::string partial(const std::string &token, std::size_t used, int value)
{
    double number = 0.0;
    std::size_t whole = 0;
    if (read_whole(token, number, whole) != Reading::whole) return partial(token, used, number);
    if (number != std::floor(number)) return "tem parte decimal";
    if (!(std::fabs(number) <= INT_MAX)) return range(value);
    return "escreva-o só com algarismos";
}

template <typename Number>
bool read_number_as(std::istream &in, Number &value, const char *program, const char *what,
                    const char *source, const std::string &more)
{
    const std::string where = source == nullptr ? "" : std::string(" em ") + source;
    std::string token;
    if (!(in >> token)) {
        const char *const ended = source == nullptr ? " (a entrada terminou)" : " (o ficheiro terminou)";
        refuse(program, "falta o valor de " + std::string(what) + where + ended + more);
        return false;
    }
    std::size_t used = 0;
    const Reading reading = read_whole(token, value, used);
    if (reading == Reading::whole) return true;

    std::string why = quoted(token) + " não serve para " + what + where + ": esperado " +
                      expected(value);
    if (const std::string hint = comma_hint(token); !hint.empty()) why += hint;
    else if (reading == Reading::partial) why += "; " + partial(token, used, value);
    else if (beyond_range(value)) why += std::string("; ") + range(value);
    refuse(program, why + more);
    return false;
}

} // namespace

std::string comma_hint(const std::string &token)
{
    const auto commas = std::count(token.begin(), token.end(), ',');
    if (commas == 0) return "";
    // "4,1,0.4", "4," or "0.4,1" can only be numbers run together; "0,4" may be either.
    if (commas > 1 || token.front() == ',' || token.back() == ',' ||
        token.find('.') != std::string::npos)
        return "; separe os valores por espaços, não por vírgulas";
    return "; use ponto decimal, ou um espaço se são dois valores";
}

Reading read_whole(const std::string &token, double &value, std::size_t &used)
{
    return read_whole_as(token, value, used);
}

Reading read_whole(const std::string &token, int &value, std::size_t &used)
{
    return read_whole_as(token, value, used);
}

bool read_number(std::istream &in, double &value, const char *program, const char *what,
                 const char *source)
{
    return read_number_as(in, value, program, what, source, "");
}

bool read_number(std::istream &in, int &value, const char *program, const char *what,
                 const char *source, const std::string &more)
{
    return read_number_as(in, value, program, what, source, more);
}

bool read_choice(std::istream &in, int &choice, std::string *answer)
{
    std::string token;
    std::size_t used = 0;
    const bool read = (in >> token) && read_whole(token, choice, used) == Reading::whole;
    if (!read) unless_memory_ran_out();
    if (answer != nullptr) *answer = token;
    return read;
}

namespace {

// A decimal of at most 19 digits whose power of ten a double holds exactly: the nearest double
// is then one correctly rounded product or quotient of two exact doubles (Clinger's fast path),
// the value std::from_chars gives, at a fraction of its cost. Returns where the number ends, or
// nullptr for any other text, which from_chars then reads.
const char *exact_decimal(const char *at, const char *end, double &value)
{
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const auto digit = [&](const char *p) { return p != end && *p >= '0' && *p <= '9'; };
    const bool negative = at != end && *at == '-';
    if (negative) ++at;
    if (!digit(at)) return nullptr;
    std::uint64_t digits = 0;
    int significant = 0; // digits from the first that is not 0: past 19 they may not fit
    int exponent = 0;
    const auto take = [&](char c) {
        if (significant > 0 || c != '0') ++significant;
        digits = digits * 10 + static_cast<unsigned>(c - '0');
    };
    while (digit(at)) take(*at++);
    if (at != end && *at == '.') {
        if (!digit(++at)) return nullptr;
        for (; digit(at); ++at, --exponent) take(*at);
    }
    if (at != end && (*at == 'e' || *at == 'E')) {
        ++at;
        const bool below = at != end && *at == '-';
        if (at != end && (*at == '-' || *at == '+')) ++at;
        if (!digit(at)) return nullptr;
        int written = 0;
        for (int length = 1; digit(at); ++at, ++length) {
            if (length > 4) return nullptr;
            written = written * 10 + (*at - '0');
        }
        exponent += below ? -written : written;
    }
    if (significant > 19 || digits > (std::uint64_t{1} << 53U) || exponent < -22 || exponent > 22)
        return nullptr;
    const auto exact = static_cast<double>(digits);
    value = exponent < 0 ? exact / powers[-exponent] : exact * powers[exponent];
    if (negative) value = -value;
    return at;
}

} // namespace

int row_numbers(std::string_view row, double *values, int room)
{
    // The white space of a stream: blank, tab, newline, vertical tab, form feed, carriage return.
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    int count = 0;
    const char *at = row.data();
    const char *const end = at + row.size();
    for (;;) {
        while (at != end && blank(*at)) ++at;
        if (at == end) return count;
        if (count == room) return -1;
        const char *start = at;
        if (*start == '+' && start + 1 != end && !blank(start[1]) && start[1] != '-') ++start;
        const char *const read = exact_decimal(start, end, values[count]);
        if (read != nullptr && (read == end || blank(*read))) {
            at = read;
            ++count;
            continue;
        }
        const auto [stop, error] = std::from_chars(start, end, values[count]);
        if (stop == start || (stop != end && !blank(*stop))) return -1;
        // Beyond a double's range is still a number of the file: strtod says which way it went,
        // ±inf above the range, 0 (or a subnormal) below it, as the stream reads it.
        if (error == std::errc::result_out_of_range)
            values[count] = std::strtod(std::string(start, stop).c_str(), nullptr);
        at = stop;
        ++count;
    }
}

} // namespace osc

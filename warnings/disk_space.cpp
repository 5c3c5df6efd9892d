#include "warnings/disk_space.hpp"

#include "dataformat/layout.hpp"
#include "disk/space.hpp"
#include "text/messages.hpp"
#include "text/number_text.hpp"

#include <cstdio>
#include <iterator>
#include <string>

namespace osc {

namespace {

// "391 GB": three significant digits in the units of the file system's own tools.
std::string size_text(double bytes)
{
    static const char *const units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    while (bytes >= 1000.0 && unit + 1 < std::size(units)) {
        bytes /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g %s", bytes, units[unit]);
    return text;
}

} // namespace

bool rows_fit_on_disk(const char *program, const char *file, double rows,
                      std::initializer_list<double> growing)
{
    const double room = space_for(file);
    const std::string free_text = " livres no disco";
    const std::string lines = " (" + text(rows) + " linhas), mas só há " + size_text(room);
    const double typical = rows * row_bytes_typical(growing);
    if (typical > room) {
        refuse(program, std::string("não é possível escrever ") + file + ": ocuparia cerca de " +
                            size_text(typical) + lines + free_text + "; nenhum ficheiro foi alterado");
        return false;
    }
    const double upper = rows * row_bytes_upper(growing);
    if (upper > room)
        warn(program, std::string(file) + " pode chegar a " + size_text(upper) + lines + free_text +
                          "; se o disco encher, a execução para aí e o ficheiro fica com as "
                          "linhas completas escritas até então");
    return true;
}

} // namespace osc

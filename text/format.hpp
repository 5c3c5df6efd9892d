// printf's formatting into a std::string, for the tables and sentences the tools write.
#pragma once

#include <cstdio>
#include <string>

namespace osc {

template <typename... Values>
std::string format(const char *pattern, Values... values)
{
    const int size = std::snprintf(nullptr, 0, pattern, values...);
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, values...);
    text.pop_back();
    return text;
}

} // namespace osc

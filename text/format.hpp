// printf's formatting into a std::string, for the tables and sentences the tools write, and
// the columns such text takes.
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

// The characters of UTF-8 text, as a terminal gives them columns: every byte but those that
// continue a character.
inline std::size_t columns(const std::string &text)
{
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
    return count;
}

} // namespace osc

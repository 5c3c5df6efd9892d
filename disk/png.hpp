// PNG images as the figures are: a file begins with PNG's eight-byte signature and ends with
// the IEND chunk once it is whole.
#pragma once

#include <string>
#include <string_view>

namespace osc {

// Whether `bytes` begin with PNG's signature and end with its IEND chunk.
bool png_whole(std::string_view bytes);

// Why a figure may not take the place of `file`, or "" when it may: the name is free, or holds
// a PNG image, judged by its first bytes and not by its name. Nothing else is ever replaced.
std::string why_not_replaceable(const char *file);

// The same for a file of the kind whose bytes begin with `signature`, named `kind` in the
// reason ("uma imagem PNG").
std::string why_not_replaceable(const char *file, std::string_view signature, const char *kind);

} // namespace osc

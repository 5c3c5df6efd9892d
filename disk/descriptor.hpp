// Bytes written to an open file descriptor.
#pragma once

#include <string_view>

namespace osc {

// Writes all of `bytes` to fd, going on where the system took part of them or was interrupted;
// false, with errno (EIO where it took nothing), when they do not all go.
bool write_all(int fd, std::string_view bytes);

// Opens /dev/null on each of standard input, output and error that is closed, so that no file
// opened later takes its number and gets what is written there (a message into a figure); a
// closed standard output stays unwritable, so writing an answer there fails as it would have.
void open_standard_descriptors();

} // namespace osc

// Bytes written to an open file descriptor.
#pragma once

#include <string_view>

namespace osc {

// Writes all of `bytes` to fd, going on where the system took part of them or was interrupted;
// false, with errno (EIO where it took nothing), when they do not all go.
bool write_all(int fd, std::string_view bytes);

// Opens `path` with `flags` (O_CREAT files get 0666 before the umask), writes all of `bytes`
// and closes it: 0, or the errno of the first step that failed, the close included.
int write_file(const char *path, int flags, std::string_view bytes);

// Opens /dev/null on each of standard input, output and error that is closed, so that no file
// opened later takes its number and gets what is written there (a message into a figure); a
// closed standard output stays unwritable, so writing an answer there fails as it would have.
void open_standard_descriptors();

} // namespace osc

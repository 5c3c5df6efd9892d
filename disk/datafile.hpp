// The data files the programs write, kept whole whatever happens to the run. A data file is
// opened without truncating it and locked against our other runs before anything is emptied,
// so a run that cannot write every one of its files leaves all of them as they were, and two
// runs in one directory never write the same file at once. A row goes out in one write() and
// counts only once all of it is on disk: when one cannot be written whole (a full disk, a
// file-size limit, an I/O error) the file is cut back to the end of the last complete row.
#pragma once

#include "dataformat/row_text.hpp"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <sys/types.h>

namespace osc {

// Whether `files` can become this run's data files: the same checks as DataFile::open, with
// all of them open at once as the run will hold them, made before the run asks or computes
// anything, so that nobody waits for a run that could not be kept. Nothing is truncated, and a
// file created to find out is removed again, unless another run took hold of it meanwhile.
// Says why not.
bool data_files_usable(const char *program, std::initializer_list<const char *> files);

// Whether one of our runs holds `file` locked, writing it now: from the moment a run opens its
// data files until it ends, so that rows read from it now may be cut. A file that cannot be
// opened, or a file system without locks, is not.
bool being_written(const std::string &file);

// One data file of a run, open for writing from open() until the object goes away.
class DataFile {
public:
    DataFile() = default;
    ~DataFile();
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;

    // Opens `file` for writing without truncating it, creating it if need be (where the file
    // system allows, without a name until it is locked), and takes the lock that our other
    // runs respect; once it holds the lock, the file must still be the one of that name, or it
    // opens afresh, after a pause if another run held it. Refuses, saying why, anything that
    // is neither a regular file nor a character device (a directory, a FIFO, a socket), a file
    // another run is writing, a name that goes to another file at every attempt, and whatever
    // the system refuses. A file it created is removed again when the object goes before
    // empty(), while the lock is still held.
    bool open(const char *program, const char *file);

    // Empties the file: the run is about to write it. Until then, closing leaves it as it was.
    bool empty();

    // Appends one row, whole or not at all; on failure says why and how many rows the file
    // keeps, and returns false.
    template <typename... Numbers>
    bool write_row(Numbers... numbers)
    {
        char row[row_room(sizeof...(numbers))];
        const char *const end = format_row(row, numbers...);
        return write_whole(row, static_cast<std::size_t>(end - row));
    }

private:
    int open_once(const char *file);
    void close_file();
    bool write_whole(const char *bytes, std::size_t size);
    bool refuse(int error) const;

    int fd_ = -1;
    const char *program_ = "";
    const char *name_ = "";
    std::string created_; // the path of a file this run created, until it is emptied
    bool regular_ = false;
    off_t complete_ = 0;  // where the last complete row ends
    long long rows_ = 0;
};

} // namespace osc

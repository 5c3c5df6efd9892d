// What a run says when its rows may not fit on the disk of its data file.
#pragma once

#include <initializer_list>

namespace osc {

// Whether `rows` rows with the growing columns `growing` (disk/space.hpp) may go to `file`:
// refuses, with both figures, a run whose rows exceed the disk's room at their typical length,
// and warns, going on, of one that fits only at that length and not at their longest. Called
// before anything is emptied, so that a refusal leaves the file as it was. False once refused.
bool rows_fit_on_disk(const char *program, const char *file, double rows,
                      std::initializer_list<double> growing);

} // namespace osc

// The three programs, each defined once in its own header, and what is asked of all of them.
#pragma once

#include "programs/drivenosc_definition.hpp"
#include "programs/harmosc_definition.hpp"
#include "programs/layout.hpp"
#include "programs/rkstepper_definition.hpp"

#include <string_view>

namespace osc {

// Every program's layout, once.
inline constexpr const Layout *layouts[] = {&harmosc::layout, &drivenosc::layout,
                                            &rkstepper::layout};

// The layout of the program that writes a data file of the name `path` ends in; nullptr when
// no program writes a file of that name.
const Layout *layout_of_file(std::string_view path);

} // namespace osc

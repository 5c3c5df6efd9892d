// The runs the programs refuse before their first step, in their words; oscstudy refuses the
// same values with the same words.
#pragma once

#include <string>

namespace osc {

// harmosc: a final time that the running sum of h stops short of.
std::string never_reached(double tf, double h);

// drivenosc: a grid whose running sum never passes N·h.
std::string never_ends(double N, double h);

// rkstepper: a negative number of steps.
std::string negative_steps(int N);

} // namespace osc

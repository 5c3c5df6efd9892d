// The exact motion of x'' = -w0²·x - 2β·x' + f·sin(wf·t) from x0, v0 at t = 0.
#pragma once

#include "warnings/step_warnings.hpp"

namespace osc {

struct State {
    double x, v;
};

State exact_state(const Motion &motion, double t);

} // namespace osc

// The exact motion of rkstepper's oscillator, x'' + gamma x' + w0^2 x = F sin(wf t) with
// gamma = 0.5, w0 = 1, F = 0.5, wf = 3: the free motion that decays as e^(-gamma t / 2) plus the
// steady state, from x(0) = x0 and x'(0) = v0.
#pragma once

namespace osc {

// x(t), from x(0) = x0 and x'(0) = v0.
double exact_position(double t, double x0, double v0);

} // namespace osc

// What the force law, the generic Runge-Kutta step and the batch driver share.
#pragma once

// Constants of the force law: mass, spring constant, damping constant, driving amplitude and
// driving angular frequency. Set once by the driver before the first step.
namespace forF {
extern double m;
extern double k;
extern double lbd;
extern double F0;
extern double wf;
} // namespace forF

// Position and velocity that the step advances.
namespace forRK {
extern double x1;
extern double v1;
} // namespace forRK

// An acceleration x'' = f(t, x, v).
using AccelerationFn = double(double t, double x, double v);

// Damped, sinusoidally driven mass on a spring.
double D2_Oscilador(double t, double x, double v);

// One classical RK4 step of x'' = f(t, x, v) from (t, x, v); adds the increments to
// forRK::x1 and forRK::v1 and returns t + h.
double RuKuNew1(AccelerationFn *f, double h, double t, double x, double v);

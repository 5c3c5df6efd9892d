#include "oscstudy/exact_motion.hpp"

#include "stepmath/driven.hpp"

#include <complex>

namespace osc {

State exact_state(const Motion &m, double t)
{
    using Complex = std::complex<double>;
    // The steady part Im(X·e^(i·wf·t)), then the free part that makes up the start.
    const Complex X = m.f == 0.0 ? 0.0 : exact_response(m.w0, m.beta, m.f, m.wf);
    const Complex turn = std::polar(1.0, m.wf * t);
    const double xs = (X * turn).imag();
    const double vs = (Complex(0.0, m.wf) * X * turn).imag();
    const double y0 = m.x0 - X.imag();
    const double u0 = m.v0 - m.wf * X.real();
    const Complex root = std::sqrt(Complex(m.beta * m.beta - m.w0 * m.w0));
    const Complex l1 = -m.beta + root;
    const Complex l2 = -m.beta - root;
    if (std::abs(root) <= 1e-9 * (m.w0 + std::abs(m.beta))) {
        const double e = std::exp(-m.beta * t);
        const double c = u0 + m.beta * y0;
        return {xs + (y0 + c * t) * e, vs + (c - m.beta * (y0 + c * t)) * e};
    }
    const Complex c1 = (u0 - l2 * y0) / (l1 - l2);
    const Complex c2 = y0 - c1;
    const Complex e1 = std::exp(l1 * t);
    const Complex e2 = std::exp(l2 * t);
    return {xs + (c1 * e1 + c2 * e2).real(), vs + (c1 * l1 * e1 + c2 * l2 * e2).real()};
}

} // namespace osc

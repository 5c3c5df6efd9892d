#include "oscstudy/study.hpp"

#include "stepmath/bisect.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/sampling.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace osc {

namespace {

bool free_undamped(const Motion &m) { return m.beta == 0.0 && m.f == 0.0; }

// The cubic through (0, x0) and (1, x1) with slopes dt·v0 and dt·v1, and its slope, at s.
double hermite(const Row &a, const Row &b, double s)
{
    const double dt = b.t - a.t;
    const double s2 = s * s;
    const double s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * a.x + (s3 - 2 * s2 + s) * dt * a.v + (-2 * s3 + 3 * s2) * b.x +
           (s3 - s2) * dt * b.v;
}
double hermite_slope(const Row &a, const Row &b, double s)
{
    const double dt = b.t - a.t;
    const double s2 = s * s;
    return ((6 * s2 - 6 * s) * a.x + (3 * s2 - 4 * s + 1) * dt * a.v + (-6 * s2 + 6 * s) * b.x +
            (3 * s2 - 2 * s) * dt * b.v) / dt;
}

// Where f, below 0 at `below` and not below at `above`, crosses 0.
template <typename F>
double root(F f, double below, double above)
{
    bisect(above, below, [&](double x) { return f(x) < 0.0; }, 100);
    return 0.5 * (below + above);
}

// The largest |value| over [from, to).
double largest_in(const std::vector<double> &values, std::size_t from, std::size_t to)
{
    double largest = 0.0;
    for (std::size_t i = from; i < to; ++i) largest = std::max(largest, std::fabs(values[i]));
    return largest;
}

} // namespace

std::vector<Row> exact_rows(const Motion &motion, const std::vector<Row> &rows)
{
    const ExactMotion along = exact_motion(motion);
    std::vector<Row> exact;
    exact.reserve(rows.size());
    for (const Row &r : rows) {
        const State s = exact_state(along, r.t);
        exact.push_back({r.t, s.x, s.v});
    }
    return exact;
}

std::size_t largest_at(const std::vector<double> &values, std::size_t from)
{
    std::size_t at = from;
    for (std::size_t i = from; i < values.size(); ++i)
        if (std::fabs(values[i]) > std::fabs(values[at])) at = i;
    return at;
}

double growth(const std::vector<double> &errors)
{
    const std::size_t half = errors.size() / 2;
    return largest_in(errors, half, errors.size()) / largest_in(errors, 0, half);
}

double predicted_largest_error(const Motion &motion, double h, double steps)
{
    if (!free_undamped(motion) || !(motion.w0 > 0.0)) return NAN;
    const double amplitude = std::hypot(motion.x0, motion.v0 / motion.w0);
    return amplitude * deviation({0.0, h * motion.w0}, steps).largest;
}

namespace {

// The factor of a step on the energy of free undamped motion; NaN for other motion.
double step_factor(const Setup &setup, const Method &method)
{
    const Motion &m = setup.motion;
    return free_undamped(m) ? energy_factor(method, setup.h * m.w0) : NAN;
}

} // namespace

std::vector<double> energy_errors(const Motion &motion, const std::vector<Row> &rows)
{
    const double start = energy(motion, motion.x0, motion.v0);
    std::vector<double> errors;
    errors.reserve(rows.size());
    for (const Row &r : rows) errors.push_back(energy(motion, r.x, r.v) / start - 1);
    return errors;
}

EnergyStudy energy_study(const Setup &setup, const Method &method, const std::vector<Row> &rows)
{
    const Motion &m = setup.motion;
    EnergyStudy study{energy_errors(m, rows), {}, step_factor(setup, method)};
    const double start = energy(m, m.x0, m.v0);
    const ExactMotion along = exact_motion(m);
    for (const Row &r : rows) {
        const State exact = exact_state(along, r.t);
        study.exact.push_back(energy(m, exact.x, exact.v) / start - 1);
    }
    return study;
}

Oscillation oscillation(const std::vector<Row> &rows, double from)
{
    Oscillation o;
    double first = NAN;
    double last = NAN;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Row &a = rows[i - 1];
        const Row &b = rows[i];
        if (a.t < from) continue;
        if ((a.x < 0.0) != (b.x < 0.0)) {
            const double sign = a.x < 0.0 ? 1.0 : -1.0;
            last = a.t + (b.t - a.t) * root([&](double s) { return sign * hermite(a, b, s); }, 0.0, 1.0);
            if (o.crossings++ == 0) first = last;
        }
        if (a.v > 0.0 && b.v <= 0.0 && o.crossings > 0) {
            const double s = root([&](double u) { return -hermite_slope(a, b, u); }, 0.0, 1.0);
            o.last_peak = hermite(a, b, s);
            o.last_peak_time = a.t + (b.t - a.t) * s;
            if (std::isnan(o.first_peak)) {
                o.first_peak = o.last_peak;
                o.first_peak_time = o.last_peak_time;
            }
        }
    }
    // Zeros of e^(-β·t)·cos(w·t + φ) are half a period apart.
    if (o.crossings > 1) o.period = 2 * (last - first) / static_cast<double>(o.crossings - 1);
    return o;
}

double peak_of_motion(const Motion &m, double t)
{
    // v' = x'' = -w0²·x - 2β·v for free motion.
    for (int i = 0; i < 8; ++i) {
        const State s = exact_state(m, t);
        t -= s.v / (-m.w0 * m.w0 * s.x - 2 * m.beta * s.v);
    }
    return exact_state(m, t).x;
}

double exact_period(const Motion &m) { return damped_period(m.w0, m.beta); }

double method_period(const Method &method, const Motion &m, double h)
{
    return 2 * pi * h / turn(amplification(method, h, m.w0, m.beta));
}

std::complex<double> steady_fit(const std::vector<Row> &rows, double wf, double from)
{
    // x ≈ a·sin(wf·t) + b·cos(wf·t): the normal equations of least squares; C = a + i·b.
    double ss = 0;
    double sc = 0;
    double cc = 0;
    double xs = 0;
    double xc = 0;
    for (const Row &r : rows) {
        if (r.t < from) continue;
        const double s = std::sin(wf * r.t);
        const double c = std::cos(wf * r.t);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        xs += r.x * s;
        xc += r.x * c;
    }
    const double det = ss * cc - sc * sc;
    return {(xs * cc - xc * sc) / det, (xc * ss - xs * sc) / det};
}

double settling_time(const Motion &motion, double fraction)
{
    return motion.beta > 0.0 ? std::log(1 / fraction) / motion.beta : INFINITY;
}

Motion driven_at(const Motion &motion, double wf)
{
    Motion driven = motion;
    driven.wf = wf;
    return driven;
}

std::complex<double> exact_response(const Motion &motion, double wf)
{
    return steady_amplitude(driven_at(motion, wf));
}

Curve resonance_curve(const Motion &m, double h, double low, double high, int points)
{
    Curve curve;
    for (int i = 0; i < points; ++i) {
        const double wf = low + (high - low) * i / (points - 1);
        curve.wf.push_back(wf);
        curve.exact.push_back(std::abs(exact_response(m, wf)));
        curve.method.push_back(std::abs(rk4_response(m.w0, m.beta, m.f, wf, h)));
    }
    return curve;
}

namespace {

// The peak of `amplitude` near `guess`, by golden sections, and its half-power frequencies.
template <typename A>
Peak peak_near(A amplitude, double guess, double span)
{
    const double g = (std::sqrt(5.0) - 1) / 2;
    double a = std::max(0.0, guess - span);
    double b = guess + span;
    for (int i = 0; i < 200; ++i) {
        const double c = b - g * (b - a);
        const double d = a + g * (b - a);
        const bool left = amplitude(c) > amplitude(d);
        (left ? b : a) = left ? d : c;
    }
    Peak p;
    p.wf = 0.5 * (a + b);
    p.height = amplitude(p.wf);
    const double half = p.height / std::sqrt(2.0);
    const auto below = [&](double w) { return amplitude(w) - half; };
    // The half-power frequencies on each side; none below where the curve starts above it.
    if (below(0.0) < 0.0) p.low = root(below, 0.0, p.wf);
    double beyond = p.wf;
    while (below(beyond) > 0.0 && beyond < 1e6 * (p.wf + 1)) beyond = 2 * beyond + 1;
    p.high = root([&](double w) { return -below(w); }, p.wf, beyond);
    return p;
}

} // namespace

Peak exact_peak(const Motion &m)
{
    const double square = m.w0 * m.w0 - 2 * m.beta * m.beta;
    if (!(square > 0.0) || !(m.beta > 0.0)) return {};
    return peak_near([&](double w) { return std::abs(exact_response(m, w)); },
                     std::sqrt(square), 0.5 * m.w0);
}

Peak method_peak(const Motion &m, double h, const Peak &exact)
{
    if (std::isnan(exact.wf)) return {};
    return peak_near([&](double w) { return std::abs(rk4_response(m.w0, m.beta, m.f, w, h)); },
                     exact.wf, 0.5 * m.w0);
}

MethodStudy method_study(const Setup &setup, const Method &method)
{
    MethodStudy study{};
    const double steps = setup.steps;
    study.rows = rows_of(setup, method);
    for (int k = 0; k < 4; ++k) {
        const double h = setup.h / (1 << k);
        // At h the run is the rows': the last of them is the state after `steps` steps.
        const Row end = k == 0 && !study.rows.empty() ? study.rows.back()
                                                      : advance(setup, method, h, steps * (1 << k));
        const double error = end.x - exact_state(setup.motion, end.t).x;
        // Double rounding, a few units a step, piles up over the steps.
        const double rounding = DBL_EPSILON * std::max(1.0, std::fabs(end.x)) * steps * (1 << k);
        study.runs.push_back({h, error, rounding});
    }
    study.verdict = judge(study.runs);
    study.energy = energy_errors(setup.motion, study.rows);
    // The factor a step, over the run's steps: rkstepper's rows hold no t = 0 row to subtract.
    study.energy_predicted = std::pow(step_factor(setup, method), steps) - 1;
    study.period = method_period(method, setup.motion, setup.h);
    study.limit = stability_limit(method, 2 * setup.motion.beta / setup.motion.w0);
    return study;
}

} // namespace osc

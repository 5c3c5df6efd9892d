#include "oscstudy/study.hpp"

#include "stepmath/bisect.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

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

} // namespace

bool finite(const Row &row) { return std::isfinite(row.t) && std::isfinite(row.x) && std::isfinite(row.v); }

std::vector<std::size_t> shown_rows(std::size_t count)
{
    std::vector<std::size_t> shown;
    const std::size_t most = 10;
    for (std::size_t k = 0; count > 0 && k <= most; ++k) {
        const std::size_t i = count <= most ? k : k * (count - 1) / most;
        if (i >= count) break;
        if (shown.empty() || shown.back() != i) shown.push_back(i);
    }
    return shown;
}

void Oscillation::take(const Row &row)
{
    const Row &b = row;
    if (ended_ || !finite(b)) {
        ended_ = true;
        return;
    }
    const Row a = before_;
    before_ = b;
    const bool pair = started_ && a.t >= from_ && b.t != a.t;
    started_ = true;
    if (!pair) return;
    if ((a.x < 0.0) != (b.x < 0.0)) {
        const double sign = a.x < 0.0 ? 1.0 : -1.0;
        last_crossing =
            a.t + (b.t - a.t) * root([&](double s) { return sign * hermite(a, b, s); }, 0.0, 1.0);
        if (crossings++ == 0) first_crossing = last_crossing;
    }
    if (a.v > 0.0 && b.v <= 0.0 && crossings > 0) {
        const double s = root([&](double u) { return -hermite_slope(a, b, u); }, 0.0, 1.0);
        last_peak = hermite(a, b, s);
        last_peak_time = a.t + (b.t - a.t) * s;
        if (std::isnan(first_peak)) {
            first_peak = last_peak;
            first_peak_time = last_peak_time;
        }
    }
}

double Oscillation::period() const
{
    if (crossings < 2) return NAN;
    return 2 * (last_crossing - first_crossing) / static_cast<double>(crossings - 1);
}

double exact_peak_time(const ExactMotion &exact, double t, double from, double to)
{
    // Samples close enough to see every turn of an oscillation of that span, then bisection
    // between the two around each fall of the velocity through 0.
    const int samples = 64;
    const auto v = [&](double time) { return exact_state(exact, time).v; };
    double nearest = NAN;
    double before = from;
    double v_before = v(from);
    for (int i = 1; i <= samples; ++i) {
        const double time = from + (to - from) * i / samples;
        const double v_here = v(time);
        if (v_before > 0.0 && v_here <= 0.0) {
            double rising = before;
            double falling = time;
            bisect(rising, falling, [&](double s) { return v(s) <= 0.0; }, 100);
            const double peak = 0.5 * (rising + falling);
            if (std::isnan(nearest) || std::fabs(peak - t) < std::fabs(nearest - t)) nearest = peak;
        }
        before = time;
        v_before = v_here;
    }
    return nearest;
}

void SteadyFit::take(const Row &r)
{
    if (r.t < from_) return;
    if (!finite(r)) broken_ = true;
    // x ≈ a·sin(wf·t) + b·cos(wf·t): the normal equations of least squares.
    const double s = std::sin(wf_ * r.t);
    const double c = std::cos(wf_ * r.t);
    ss_ += s * s;
    sc_ += s * c;
    cc_ += c * c;
    xs_ += r.x * s;
    xc_ += r.x * c;
    ++rows_;
}

std::complex<double> SteadyFit::amplitude() const
{
    const double det = ss_ * cc_ - sc_ * sc_;
    // Rows all at one phase of wf (h a whole number of half periods) hold no oscillation.
    if (broken_ || rows_ < 3 || !(det > 1e-9 * ss_ * cc_)) return {NAN, NAN};
    return {(xs_ * cc_ - xc_ * sc_) / det, (xc_ * ss_ - xs_ * sc_) / det}; // C = a + i·b
}

double transient_start(const Motion &m)
{
    // The steady oscillation Im(X·e^(i·wf·t)) at t = 0: x = Im X, v = wf·Re X.
    const bool driven = m.f != 0.0 && m.wf != 0.0;
    const std::complex<double> X = driven ? steady_amplitude(m) : 0.0;
    const double dx = m.x0 - X.imag();
    const double dv = m.v0 - m.wf * X.real();
    return m.w0 > 0.0 ? std::hypot(dx, dv / m.w0) : std::hypot(dx, dv);
}

namespace {

// The slowest decay of the free modes, exact and computed, per unit of time: not above 0 where
// one never decays.
double slowest_decay(const Motion &m, double h)
{
    const std::vector<std::complex<double>> zs = step_modes(h, m.w0, m.beta);
    if (!(h > 0.0) || zs.empty()) return 0.0;
    double rate = INFINITY;
    for (const std::complex<double> z : zs) rate = std::min({rate, -z.real() / h, -rk4_log_gain(z) / h});
    return rate;
}

} // namespace

double transient_left(const Motion &m, double h, double t)
{
    const double rate = slowest_decay(m, h);
    return rate > 0.0 ? transient_start(m) * std::exp(-rate * t) : INFINITY;
}

double settling_time(const Motion &m, double h)
{
    const double rate = slowest_decay(m, h);
    const double start = transient_start(m) / (settled_share * std::abs(steady_amplitude(m)));
    if (!(rate > 0.0) || std::isnan(start)) return INFINITY;
    return start <= 1.0 ? 0.0 : std::log(start) / rate;
}

ModeGrowth mode_growth(const Motion &m, double h, double steps)
{
    ModeGrowth g{};
    g.log_growth = -HUGE_VAL;
    for (const std::complex<double> z : step_modes(h, m.w0, m.beta)) {
        // A mode that stays still is computed exactly, but counts in the growth: it stays.
        g.log_growth = std::max({g.log_growth, rk4_log_gain(z), z.real()});
        if (z == 0.0) continue;
        g.modes = true;
        if (rk4_unstable(z)) {
            g.unstable = true;
            g.stable_limit = rk4_stability_limit(z);
            g.size = std::abs(z);
        }
        // Up to the horizon only: past it the mode has decayed, and its error with it.
        const Deviation d = deviation(z, steps);
        if (std::hypot(d.log_amplitude, d.phase) >= g.drift) {
            g.drift = std::hypot(d.log_amplitude, d.phase);
            g.log_amplitude = d.log_amplitude;
            g.phase = d.phase;
        }
    }
    if (!g.modes) g.log_growth = 0.0;
    return g;
}

bool settles(const Motion &m, double h)
{
    const std::vector<std::complex<double>> zs = step_modes(h, m.w0, m.beta);
    return !zs.empty() && std::all_of(zs.begin(), zs.end(), [](std::complex<double> z) {
        return rk4_log_gain(z) < 0.0;
    });
}

bool keeps_a_response(const Motion &m, double h)
{
    const std::vector<std::complex<double>> zs = step_modes(h, m.w0, m.beta);
    return h > 0.0 && !zs.empty() && std::all_of(zs.begin(), zs.end(), [](std::complex<double> z) {
        return rk4_log_gain(z) <= 0.0;
    });
}

CurvePeak exact_peak(const Motion &m)
{
    const double beta = std::fabs(m.beta);
    const double wr2 = m.w0 * m.w0 - 2 * beta * beta;
    if (!(beta > 0.0) || !(wr2 > 0.0)) return {};
    const double root = std::sqrt(m.w0 * m.w0 - beta * beta);
    const double spread = 2 * beta * root;
    CurvePeak p;
    p.wf = std::sqrt(wr2);
    p.height = m.f / (2 * beta) / root;
    if (wr2 - spread > 0.0) p.low = std::sqrt(wr2 - spread);
    p.high = std::sqrt(wr2 + spread);
    // 2·spread/(high + low), in an order that neither underflows nor cancels.
    p.width = 4 * beta * (root / (p.high + p.low));
    return p;
}

double falling_half_power(const Motion &m)
{
    const double c = m.w0 * m.w0 - 2 * m.beta * m.beta;
    const double w04 = m.w0 * m.w0 * m.w0 * m.w0;
    const double root = std::sqrt(c * c + w04);
    // c + root, without cancellation where c < 0.
    return std::sqrt(c >= 0.0 ? c + root : w04 / (root - c));
}

CurvePeak curve_peak(const std::function<double(double)> &amplitude, double low, double high,
                     int samples, const std::vector<double> &seeds)
{
    const double step = (high - low) / (samples - 1);
    const auto at = [&](int i) { return i == samples - 1 ? high : low + step * i; };
    // The highest sample or seed, and the samples on either side of it.
    double best = low;
    double best_value = amplitude(low);
    for (int i = 1; i < samples; ++i)
        if (const double a = amplitude(at(i)); a > best_value) {
            best = at(i);
            best_value = a;
        }
    for (const double seed : seeds)
        if (const double a = amplitude(seed); seed >= low && seed <= high && a > best_value) {
            best = seed;
            best_value = a;
        }
    CurvePeak p;
    if (!std::isfinite(best_value)) return p;
    double a = std::max(low, best - step);
    double b = std::min(high, best + step);
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 200 && b > a; ++i) {
        const double c = b - g * (b - a);
        const double d = a + g * (b - a);
        if (amplitude(c) > amplitude(d)) b = d;
        else a = c;
    }
    p.wf = 0.5 * (a + b);
    p.height = std::max(amplitude(p.wf), best_value);
    if (best_value > amplitude(p.wf)) p.wf = best;
    // The edge of the range stands for it where the curve is highest there.
    if (p.wf - low <= 1e-9 * (high - low)) p.wf = low;
    const double half = p.height / std::sqrt(2.0);
    const auto above = [&](double w) { return amplitude(w) - half; };
    // Outward from the peak, sample by sample, to the first below half power.
    for (double w = p.wf, next = w;; w = next) {
        next = std::max(low, w - step);
        if (above(next) < 0.0) {
            p.low = root(above, next, w);
            break;
        }
        if (next == low) break;
    }
    for (double w = p.wf, next = w;; w = next) {
        next = std::min(high, w + step);
        if (above(next) < 0.0) {
            p.high = root(above, next, w);
            break;
        }
        if (next == high) break;
    }
    p.width = p.high - p.low;
    return p;
}

std::vector<double> method_resonances(const Motion &m, double h, double low, double high)
{
    std::vector<double> found;
    const std::vector<std::complex<double>> zs = step_modes(h, m.w0, m.beta);
    if (zs.empty() || zs[0].imag() == 0.0 || !(h > 0.0)) return found;
    const double turn = std::fabs(rk4_log_factor(zs[0]).imag()); // in [0, π]
    const double whole = 2 * pi / h;
    for (double k = std::floor(low / whole); k * whole <= high + whole && found.size() < 100; ++k)
        for (const double wf : {k * whole + turn / h, k * whole - turn / h})
            if (wf >= low && wf <= high) found.push_back(wf);
    return found;
}

double response_repeat(double h) { return 4 * pi / std::fabs(h); }

CurvePeak method_peak(const Motion &m, double h)
{
    const auto amplitude = [&](double wf) { return std::abs(rk4_response(m.w0, m.beta, m.f, wf, h)); };
    const double half = 0.5 * response_repeat(h);
    // Samples over the exact curve's own stretch, where a narrow peak of a small h lies.
    const double stretch = std::min(half, 4 * std::max(m.w0, std::fabs(m.beta)));
    std::vector<double> seeds = method_resonances(m, h, 0.0, half);
    for (int i = 0; i < 400; ++i) seeds.push_back(stretch * i / 399);
    for (const double wf : {exact_peak(m).wf, m.w0})
        if (wf <= half) seeds.push_back(wf);
    return curve_peak(amplitude, 0.0, half, 400, seeds);
}

Placed placed(double wf, double repeat, double low, double high,
              const std::function<double(double)> &amplitude)
{
    using Where = Placed::Where;
    // The nearest of the peak and its repeats at or above `from`, and below it.
    const auto above = [&](double from) {
        if (!std::isfinite(repeat)) return wf >= from ? wf : INFINITY;
        double nearest = INFINITY;
        for (const double sign : {1.0, -1.0})
            nearest = std::min(nearest, std::ceil((from - sign * wf) / repeat) * repeat + sign * wf);
        return nearest;
    };
    const auto below = [&](double from) {
        if (!std::isfinite(repeat)) return wf < from ? wf : -HUGE_VAL;
        double nearest = -HUGE_VAL;
        for (const double sign : {1.0, -1.0}) {
            double at = std::floor((from - sign * wf) / repeat) * repeat + sign * wf;
            if (at >= from) at -= repeat;
            nearest = std::max(nearest, at);
        }
        return nearest;
    };
    const double first = above(low);
    if (first <= high) return {Where::inside, first};
    // Between two peaks the curve dips midway; where its ends look alike, the side of the dip
    // the range lies on says which way it goes.
    const double at_low = amplitude(low);
    const double at_high = amplitude(high);
    const bool rises = at_high != at_low ? at_high > at_low : low + high > below(low) + first;
    return {rises ? Where::rises : Where::falls, NAN};
}

} // namespace osc

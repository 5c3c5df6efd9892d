#include "checking/identify.hpp"

#include "order/verdict.hpp"
#include "stepmath/rk4.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

namespace osc {

namespace {

// 10^-n, for the digits a column is written with (0 to 40).
double tenth_power(int n)
{
    static const auto powers = [] {
        std::array<double, 41> all{};
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = std::pow(10.0, -static_cast<int>(i));
        return all;
    }();
    return powers[static_cast<std::size_t>(std::clamp(n, 0, 40))];
}

} // namespace

double rounding(const Writing &writing, double value)
{
    if (writing.decimals >= 0) return 0.5 * tenth_power(writing.decimals);
    return rounding_of(value, writing.digits);
}

bool agrees(double written, double computed, const Writing &writing, double slack)
{
    if (!std::isfinite(written) || !std::isfinite(computed))
        return written == computed || (std::isnan(written) && std::isnan(computed));
    const double gap = std::fabs(written - computed);
    if (writing.decimals < 0) {
        // Half a unit of the last of d digits lies between 0.5·10^-d and 5·10^-d of the number
        // (a little more where it rounds up into the next decade): only in between is it asked.
        const double unit = tenth_power(writing.digits) * std::fabs(computed);
        if (gap <= 0.5 * unit + slack) return true;
        if (gap > 10 * unit + slack) return false;
    }
    // Half a unit in the decade that the computed number is written in: a number just below a
    // power of ten may round up into the next (9.999996e-05 to 1e-04).
    return gap <= rounding(writing, computed) * (1 + 1e-9) + slack;
}

Identification::Identification(const Stepping &grid)
    : grid_(grid), steppers_(catalogue().size(), {0.0, grid.x0, grid.v0, 0.0, 0.0,
                                                  std::fabs(grid.x0), std::fabs(grid.v0)}),
      departures_(catalogue().size()), alive_(catalogue().size())
{
}

void Identification::spread_slack(const Stepper &s, double slack[3]) const
{
    const double moved = s.steps * grid_.spread;
    slack[0] = moved;
    slack[1] = 1.25 * moved * std::fabs(s.v);
    slack[2] = 1.25 * moved * std::fabs(grid_.acceleration(s.t, s.x, s.v));
}

void Identification::take(const Row &row, std::size_t line)
{
    const std::vector<Entry> &entries = catalogue();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (departures_[i].departed()) continue;
        Stepper &s = steppers_[i];
        // Each row is one step on from the one before; the first, from the start or one step on.
        if (rows_ > 0 || !grid_.from_start) {
            entries[i].method.step(grid_.acceleration, grid_.h, s.t, s.x, s.v);
            s.steps += 1;
            s.t = entries[i].clock == Clock::running_sum ? s.t + grid_.h : s.steps * grid_.h;
            s.scale_t = std::max(s.scale_t, std::fabs(s.t));
            s.scale_x = std::max(s.scale_x, std::fabs(s.x));
            s.scale_v = std::max(s.scale_v, std::fabs(s.v));
        }
        const double drift = order_rounding * (s.steps + 1);
        const double held[] = {row.t, row.x, row.v};
        const double computed[] = {s.t, s.x, s.v};
        const double scale[] = {s.scale_t, s.scale_x, s.scale_v};
        double spread[3] = {0, 0, 0};
        if (grid_.spread > 0) spread_slack(s, spread);
        for (std::size_t c = 0; c < 3; ++c) {
            const double slack = drift * scale[c] + spread[c];
            if (agrees(held[c], computed[c], grid_.writing[c], slack)) continue;
            departures_[i] = {rows_, line, static_cast<int>(c), held[c], computed[c]};
            --alive_;
            break;
        }
    }
    rows_ += 1;
}

ExactErrors::ExactErrors(const Motion &motion, double h, bool from_start)
    : exact_(exact_motion(motion)), h_(h), t_(from_start ? 0.0 : h)
{
}

void ExactErrors::take(const Row &row)
{
    if (!first_) t_ = t_ + h_; // the running sum, as the programs take it
    const double error = row.x - exact_state(exact_, t_).x;
    if ((first_ || std::fabs(error) > found_.largest || !std::isfinite(error)) &&
        std::isfinite(found_.largest)) {
        found_.largest = std::fabs(error); // inf past the largest double, nan where nan
        found_.at = t_;
    }
    if (found_.last.empty()) found_.last.resize(ExactError::kept);
    found_.last[static_cast<std::size_t>(std::fmod(found_.rows, ExactError::kept))] = {t_, row.x,
                                                                                       error};
    found_.rows += 1;
    first_ = false;
}

RowError ExactError::of_row(double row) const
{
    if (!(row >= 0 && row < rows && row >= rows - kept)) return {};
    return last[static_cast<std::size_t>(std::fmod(row, kept))];
}

void MapFit::take(const Row &row)
{
    const Row s = last_;
    last_ = row;
    if (!(std::isfinite(s.x) && std::isfinite(s.v) && std::isfinite(row.x) && std::isfinite(row.v)))
        return;
    xx_ += s.x * s.x;
    xv_ += s.x * s.v;
    vv_ += s.v * s.v;
    nx_ += row.x * s.x;
    nv_ += row.x * s.v;
    mx_ += row.v * s.x;
    mv_ += row.v * s.v;
}

Matrix2<double> MapFit::map() const
{
    // M = C·S⁻¹, S = Σ s·sᵀ, C = Σ s'·sᵀ; rows along one line leave S singular.
    const double det = xx_ * vv_ - xv_ * xv_;
    if (!(det > 1e-8 * xx_ * vv_)) return {NAN, NAN, NAN, NAN};
    return {(nx_ * vv_ - nv_ * xv_) / det, (nv_ * xx_ - nx_ * xv_) / det,
            (mx_ * vv_ - mv_ * xv_) / det, (mv_ * xx_ - mx_ * xv_) / det};
}

namespace {

using Complex = std::complex<double>;

// The z near ln μ with R(z) = μ, by Newton's steps; NaN when they do not settle.
Complex rk4_root(Complex mu)
{
    Complex z = std::log(mu);
    for (int i = 0; i < 50; ++i) {
        const Complex slope = 1.0 + z * (1.0 + z / 2.0 * (1.0 + z / 3.0)); // R'(z)
        const Complex next = z - (rk4_factor(z) - mu) / slope;
        const bool settled = std::abs(next - z) <= 1e-15 * std::abs(next);
        z = next;
        if (settled) return z;
    }
    return {NAN, NAN};
}

} // namespace

Constants rk4_constants(const Matrix2<double> &m, double h)
{
    const double half_trace = 0.5 * (m[0] + m[3]);
    const double det = m[0] * m[3] - m[1] * m[2];
    const Complex root = std::sqrt(Complex(half_trace * half_trace - det));
    // R(z) is positive on the real axis: a map with an eigenvalue at or below 0 is no RK4 step.
    if (root.imag() == 0.0 && !(half_trace - std::abs(root.real()) > 0.0)) return {};
    const Complex lambda1 = rk4_root(half_trace + root) / h;
    const Complex lambda2 = rk4_root(half_trace - root) / h;
    // λ² + 2β·λ + w0² = 0: w0² = λ1·λ2, 2β = -(λ1 + λ2).
    const Complex product = lambda1 * lambda2;
    if (!(std::isfinite(product.real()) && product.real() >= 0.0)) return {};
    return {std::sqrt(product.real()), -0.5 * (lambda1 + lambda2).real()};
}

} // namespace osc

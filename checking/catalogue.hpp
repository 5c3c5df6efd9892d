// What a student's rows are checked against: the fixed-step methods a course compares
// (methods/), and the slips students make in writing RK4, each the textbook step with one
// thing written otherwise. Names and steps only; what rows match which is identify.hpp's.
#pragma once

#include "methods/methods.hpp"

#include <array>
#include <vector>

namespace osc {

// How a loop makes the time of its steps: t ← t + h, as the programs do, or t = i·h.
enum class Clock { running_sum, multiples };

struct Entry {
    Method method; // its order on driven motion: a stage's time shows only with a force
    Clock clock;
};

// An RK4 step as a student writes it down: each of the four stages at t + at·h, from the
// state moved by·h along the slopes of stage `from`, then the step by the weights over `sum`.
// With `x_by_new_v`, a stage's x is moved along that stage's own new v instead of the slope
// of x it comes from.
struct Written {
    std::array<double, 4> at;
    std::array<double, 4> by;
    std::array<int, 4> from;
    std::array<double, 4> weight;
    double sum;
    bool x_by_new_v;
};

// The textbook's: stages at t, t + h/2, t + h/2 and t + h, each from the one before, by half
// a step, half a step and a whole one; weights 1-2-2-1 over 6.
inline constexpr Written textbook{
    {0, 0.5, 0.5, 1}, {0, 0.5, 0.5, 1}, {0, 0, 1, 2}, {1, 2, 2, 1}, 6, false};

// One step as `written` says.
template <const Written &written>
void written_step(const Acceleration &a, double h, double t, double &x, double &v)
{
    double kx[4] = {};
    double kv[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        const double by = written.by[i] * h;
        const auto from = static_cast<std::size_t>(written.from[i]);
        const double vi = i == 0 ? v : v + by * kv[from];
        const double xi = i == 0 ? x : x + by * (written.x_by_new_v ? vi : kx[from]);
        kx[i] = vi;
        kv[i] = a(t + written.at[i] * h, xi, vi);
    }
    double dx = 0;
    double dv = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        dx += written.weight[i] * kx[i];
        dv += written.weight[i] * kv[i];
    }
    x = x + h * dx / written.sum;
    v = v + h * dv / written.sum;
}

// Heun's method (the improved Euler): the slopes at the start and at the Euler step's end,
// averaged. On free motion its rows are the midpoint method's: every two-stage method of the
// second order multiplies the state by 1 + z + z²/2.
void heun(const Acceleration &a, double h, double t, double &x, double &v);
// Velocity Verlet as a kick, a drift and a kick: v by half a step, x by a whole one with that
// v, and v by the other half with a1 at the new x and the half step's v. Where the force holds
// v, that v is off by h/2·a0, and the order falls to 1.
void verlet_half_kick(const Acceleration &a, double h, double t, double &x, double &v);

// The textbook with the one thing `slip` writes otherwise.
template <typename Slip>
constexpr Written slipped(Slip slip)
{
    Written written = textbook;
    slip(written);
    return written;
}

// The slips.
inline constexpr Written k4_at_half = slipped([](Written &w) { w.at[3] = 0.5; });
inline constexpr Written k3_from_k1 = slipped([](Written &w) { w.from[2] = 0; });
inline constexpr Written k2_whole_step = slipped([](Written &w) { w.by[1] = 1; });
inline constexpr Written equal_weights = slipped([](Written &w) {
    w.weight = {1, 1, 1, 1};
    w.sum = 4;
});
inline constexpr Written time_ahead = slipped([](Written &w) { w.at = {1, 1.5, 1.5, 2}; });
inline constexpr Written x_by_new_v = slipped([](Written &w) { w.x_by_new_v = true; });

// Every entry: the methods of methods/ in their order, Heun's and the half-kick Verlet, then
// the slips. The programs' RK4 is the entry whose method is programs_method.
const std::vector<Entry> &catalogue();

// Whether `entry` is the programs' RK4, with their clock.
bool is_programs_rk4(const Entry &entry);
// Whether `entry` is the programs' RK4 with either clock: t = i·h moves t by rounding alone, far
// below what any method's step moves it, and its rows are RK4's as much as the running sum's.
bool is_rk4(const Entry &entry);

} // namespace osc

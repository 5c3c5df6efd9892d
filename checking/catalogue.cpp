#include "checking/catalogue.hpp"

namespace osc {

void heun(const Acceleration &a, double h, double t, double &x, double &v)
{
    const double a0 = a(t, x, v);
    const double x1 = x + h * v;
    const double v1 = v + h * a0;
    x = x + h / 2 * (v + v1);
    v = v + h / 2 * (a0 + a(t + h, x1, v1));
}

void verlet_half_kick(const Acceleration &a, double h, double t, double &x, double &v)
{
    const double v_half = v + h / 2 * a(t, x, v);
    x = x + h * v_half;
    v = v_half + h / 2 * a(t + h, x, v_half);
}

const std::vector<Entry> &catalogue()
{
    static const std::vector<Entry> entries = [] {
        std::vector<Entry> all;
        for (const Method &method : methods) all.push_back({method, Clock::running_sum});
        // Two methods students write beside those of methods/, then the slips. Orders on driven
        // motion, from the order conditions of each step's coefficients; no energy drift, which
        // only a study of the methods side by side asks for.
        const Entry slips[] = {
            {{"Heun", 2, heun, nullptr}, Clock::running_sum},
            {{"Verlet com v a meio passo", 1, verlet_half_kick, nullptr}, Clock::running_sum},
            {{"RK4 com k4 em t + h/2", 1, written_step<k4_at_half>, nullptr}, Clock::running_sum},
            {{"RK4 com k3 tirado de k1", 2, written_step<k3_from_k1>, nullptr}, Clock::running_sum},
            {{"RK4 com k2 a um passo inteiro", 1, written_step<k2_whole_step>, nullptr},
             Clock::running_sum},
            {{"RK4 com pesos 1-1-1-1", 2, written_step<equal_weights>, nullptr},
             Clock::running_sum},
            {{"RK4 com t avançado antes dos estágios", 1, written_step<time_ahead>, nullptr},
             Clock::running_sum},
            {{"RK4 com o x dos estágios tirado do v novo", 2, written_step<x_by_new_v>, nullptr},
             Clock::running_sum},
            {{"RK4 com t = i·h", 4, programs_method.step, nullptr}, Clock::multiples},
        };
        all.insert(all.end(), std::begin(slips), std::end(slips));
        return all;
    }();
    return entries;
}

bool is_programs_rk4(const Entry &entry)
{
    return is_rk4(entry) && entry.clock == Clock::running_sum;
}

bool is_rk4(const Entry &entry) { return entry.method.step == programs_method.step; }

} // namespace osc

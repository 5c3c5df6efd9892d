#include "checking/catalogue.hpp"

namespace osc {

const std::vector<Entry> &catalogue()
{
    static const std::vector<Entry> entries = [] {
        std::vector<Entry> all;
        for (const Method &method : methods) all.push_back({method, Clock::running_sum});
        // Orders on driven motion, from the order conditions of each step's coefficients; no
        // energy drift, which only a study of the methods side by side asks for.
        const Entry slips[] = {
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
    return entry.method.step == programs_method.step && entry.clock == Clock::running_sum;
}

} // namespace osc

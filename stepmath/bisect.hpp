// Bisection: the one way the step maths narrows down where a condition starts to hold.
#pragma once

namespace osc {

// Narrows `good`, at which `fails` is false, and `bad`, at which it is true, by `halvings`
// halvings of the gap between them; either may be the larger.
template <typename Fails>
void bisect(double &good, double &bad, Fails fails, int halvings)
{
    for (int i = 0; i < halvings; ++i) {
        const double middle = 0.5 * (good + bad);
        (fails(middle) ? bad : good) = middle;
    }
}

} // namespace osc

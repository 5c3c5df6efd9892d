// The observed order of a method from its errors at steps h, h/2, h/4, ..., each known only to
// the rounding of the six-digit x(T) it comes from, and whether that order can be taken as
// settled. Numbers only: the tools say them in sentences of their own.
#pragma once

#include <cstddef>
#include <vector>

namespace osc {

// An error counts only when it passes this many times its rounding r. The rounding moves an
// error e by at most r, so the order from errors e1 > e2 > margin r is off by at most
// log2((1 + 1/(16 margin)) / (1 - 1/margin)): 0.099 for 16. On 40000 runs (h from 0.01 to 1,
// T from 1 to 60, x0 and v0 from -100 to 100) the order from six-digit errors stayed within
// 0.090 of the order from unrounded ones with 16, and strayed past 0.1 in 9 runs with 14.
inline constexpr int order_margin = 16;

// Orders of consecutive pairs further apart than this have not settled yet.
inline constexpr double settled_within = 0.1;

// One run: its step, the error of the x(T) it wrote, and half a unit of that x(T)'s sixth digit.
struct Run {
    double h;
    double error;
    double rounding;
};

// Half a unit of the last significant digit of `value` written with `digits`; 0 for 0.
double rounding_of(double value, int digits = 6);

// Whether the run's error stands clear of its rounding.
bool measured(const Run &run);

// Two consecutive runs: both measured with errors of one sign, so that they give an order; both
// measured with errors of opposite signs; or not both measured.
enum class Pair { order, sign_change, unmeasured };
Pair pair_of(const Run &larger, const Run &smaller);

// log2 of the ratio of the two errors: the order of a pair that gives one.
double order_of(const Run &larger, const Run &smaller);

enum class Outcome {
    settled,     // an order, and none of the reasons to doubt it below
    unsettled,   // an order, but single_pair, after_sign_change or moving
    sign_change, // the last measured pair changes sign: no order
    none,        // no two consecutive runs measured
};

struct Verdict {
    Outcome outcome = Outcome::none;
    std::size_t last = 0;           // the smaller step of the last measured pair
    double order = 0;               // that pair's order, when it gives one
    bool single_pair = false;       // no other pair gives an order
    bool after_sign_change = false; // the error changes sign between the two runs before it
    bool moving = false;            // the pair before it gives an order further than settled_within
    double previous_order = 0;      // the order of the pair before it, when it gives one
    bool uncounted = false;         // none: no two consecutive runs have errors that count at
                                    // all (NaN: not the method's, as an unstable step's)
};

// The verdict on runs at steps h, h/2, h/4, ..., in that order: it rests on the last pair of
// consecutive runs that are both measured.
Verdict judge(const std::vector<Run> &runs);

} // namespace osc

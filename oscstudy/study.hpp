// The answers to a student's questions about a run, as numbers: the error against the exact
// motion, the energy, the period and amplitude, the steady oscillation of driven motion, the
// resonance curve and the five methods side by side. Sentences are oscstudy's own.
#pragma once

#include "order/verdict.hpp"
#include "oscstudy/setup.hpp"

#include <complex>
#include <vector>

namespace osc {

// The exact motion at each row's time, the running sum of h.
std::vector<Row> exact_rows(const Motion &motion, const std::vector<Row> &rows);

// Where the largest |value| of a series is, the first largest.
std::size_t largest_at(const std::vector<double> &values, std::size_t from = 0);

// How an error grows: its largest size over the second half of the run against the first.
double growth(const std::vector<double> &errors);

// The largest |x - x_exact| the step's factor R(i·z) gives free undamped motion of amplitude
// `amplitude` over `steps` steps; NaN for other motion.
double predicted_largest_error(const Motion &motion, double h, double steps);

// E/E0 - 1 of each row, and the exact one.
struct EnergyStudy {
    std::vector<double> computed, exact;
    double factor; // the factor of a step on free undamped motion; NaN otherwise
};
EnergyStudy energy_study(const Setup &setup, const Method &method, const std::vector<Row> &rows);

// E/E0 - 1 at each row.
std::vector<double> energy_errors(const Motion &motion, const std::vector<Row> &rows);

// The oscillation the rows show from `from` on: the zero crossings of x and the peaks after
// the first, each found on the cubic through two rows' x and v.
struct Oscillation {
    std::size_t crossings = 0;
    double period = NAN;     // 2·(last crossing - first) / (crossings - 1)
    double first_peak = NAN; // the first and last highest x
    double first_peak_time = NAN;
    double last_peak = NAN;
    double last_peak_time = NAN;
};
Oscillation oscillation(const std::vector<Row> &rows, double from);

// The exact motion's highest x nearest `t`, where its velocity is 0, by Newton's steps.
double peak_of_motion(const Motion &motion, double t);

// 2π/sqrt(w0² - β²), and the period that one step of `method` gives: 2π·h/arg(eigenvalue).
double exact_period(const Motion &motion);
double method_period(const Method &method, const Motion &motion, double h);

// The oscillation at wf that fits the rows from `from` on in least squares: x ≈ Im(C·e^(i·wf·t)).
std::complex<double> steady_fit(const std::vector<Row> &rows, double wf, double from);

// When the free motion has fallen below `fraction` of its start: ln(1/fraction)/β.
double settling_time(const Motion &motion, double fraction);

// The motion driven at `wf` instead, and its steady amplitude X.
Motion driven_at(const Motion &motion, double wf);
std::complex<double> exact_response(const Motion &motion, double wf);

// The resonance curve: |X(wf)| exact, |Y(wf)| of RK4 at h, `points` frequencies over [low, high].
struct Curve {
    std::vector<double> wf, exact, method;
};
Curve resonance_curve(const Motion &motion, double h, double low, double high, int points);

// A peak of an amplitude curve: where and how high, and the half-power frequencies around it.
struct Peak {
    double wf = NAN, height = NAN, low = NAN, high = NAN;
    double width() const { return high - low; }
    double q() const { return wf / width(); }
};
// wr = sqrt(w0² - 2β²) and |X(wr)|, half power where |X|² is half of it.
Peak exact_peak(const Motion &motion);
// The peak of RK4's |Y| at h, found from the exact one, `exact` (exact_peak).
Peak method_peak(const Motion &motion, double h, const Peak &exact);

// One method on the run: errors at the last row's time for h, h/2, h/4, h/8 with their
// verdict, the energy at the end, its period and stability limit.
struct MethodStudy {
    std::vector<Run> runs;
    Verdict verdict;
    std::vector<Row> rows;
    std::vector<double> energy; // E/E0 - 1 at each row
    double energy_predicted;
    double period, limit;
};
MethodStudy method_study(const Setup &setup, const Method &method);

} // namespace osc

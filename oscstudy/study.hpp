// The maths of a student's questions about a run, as numbers: what one row after another shows
// (zero crossings and peaks, the steady oscillation that fits them), the exact motion's own
// peaks, what the step does to the free modes over the run, and the resonance curve's peak and
// half-power points. Each search is bracketed inside the run or the range of wf shown.
// Numbers only: the findings are oscstudy/questions.hpp's, the sentences oscstudy/wording.hpp's.
#pragma once

#include "dataformat/rows.hpp"
#include "motion/motion.hpp"

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

namespace osc {

// Whether a row's numbers are all finite: past the largest double they are not.
bool finite(const Row &row);

// The rows a table shows of `count`: eleven spread over the run, the first and the last
// included, by their place in it.
std::vector<std::size_t> shown_rows(std::size_t count);

// The oscillation the rows show from `from` on, row by row: the zero crossings of x and the
// peaks after the first, each found on the cubic through two rows' x and v. Rows whose
// numbers are not finite end it.
class Oscillation {
public:
    explicit Oscillation(double from) : from_(from) {}
    void take(const Row &row);

    std::size_t crossings = 0;
    double first_crossing = NAN, last_crossing = NAN;
    double first_peak = NAN, first_peak_time = NAN; // the first and last highest x
    double last_peak = NAN, last_peak_time = NAN;
    // 2·(last crossing - first)/(crossings - 1), zeros of e^(-β·t)·cos(w·t + φ) being half a
    // period apart; NaN for fewer than two crossings.
    double period() const;

private:
    double from_;
    bool started_ = false, ended_ = false;
    Row before_{};
};

// The time of the exact motion's highest x nearest `t` (where its velocity goes from positive
// to negative), searched between `from` and `to` only; NaN where it has none there.
double exact_peak_time(const ExactMotion &exact, double t, double from, double to);

// The oscillation at wf that fits the rows from `from` on in least squares,
// x ≈ Im(C·e^(i·wf·t)), row by row.
class SteadyFit {
public:
    SteadyFit(double wf, double from) : wf_(wf), from_(from) {}
    void take(const Row &row);
    // C; NaN where fewer than three finite rows, or rows that hold no oscillation at wf, fit.
    std::complex<double> amplitude() const;

private:
    double wf_, from_;
    double ss_ = 0, sc_ = 0, cc_ = 0, xs_ = 0, xc_ = 0;
    std::size_t rows_ = 0;
    bool broken_ = false; // a row that is not finite came
};

// What the transient must fall below, as a share of the steady amplitude |X|, before the
// oscillation is taken as steady: at 1e-5 it is under the six digits of the rows' amplitude.
inline constexpr double settled_share = 1e-5;

// The free motion that driven motion starts with (the transient): the start less the steady
// oscillation's state at t = 0, as an amplitude, hypot(x, v/w0) (hypot(x, v) without a spring).
double transient_start(const Motion &motion);

// What is left of the transient at t, exact or computed with the step h, whichever decays
// slower: its start times e^(-rate·t); infinite where either never decays (β <= 0, a step that
// keeps a mode from shrinking, a run backward in time).
double transient_left(const Motion &motion, double h, double t);

// When the transient left falls below settled_share of |X|: 0 where it starts below it,
// infinite where it never does.
double settling_time(const Motion &motion, double h);

// What the step h does to the free modes e^(λ·t) over `steps` steps, z = h·λ for each.
struct ModeGrowth {
    bool modes;            // there are modes to speak of (w0 or β is not 0)
    double log_growth;     // per step, the largest of ln|R(z)| and Re z: the fastest growth of
                           // the computed motion or the exact one (0 without modes)
    bool unstable;         // a mode that does not grow is made to grow by the step
    double stable_limit;   // h·|λ| at the stability limit on that mode's ray (unstable)
    double size;           // h·|λ| of that mode
    // The largest |n·ln(R(z)/e^z)|, amplitude and phase, n the steps up to the mode's decay to
    // 1% (rk4.hpp's horizon_steps); and its parts, ln of the computed amplitude over the exact
    // one and the phase ahead of the exact motion (if of Im z's sign).
    double drift, log_amplitude, phase;
};
ModeGrowth mode_growth(const Motion &motion, double h, double steps);

// Whether the step h makes every free mode shrink, so that the computed motion settles to a
// steady oscillation at the driving frequency.
bool settles(const Motion &motion, double h);

// Whether no free mode grows with the step h > 0 (one of λ = 0, without a spring, stays): the
// computed motion has a steady response to a force at each wf, its resonance curve.
bool keeps_a_response(const Motion &motion, double h);

// The peak of an amplitude curve, where and how high, its half-power frequencies and the width
// between them: NaN for what it lacks.
struct CurvePeak {
    double wf = NAN, height = NAN, low = NAN, high = NAN, width = NAN;
};

// |X| = f/sqrt((w0² - wf²)² + (2β·wf)²) at its peak wr = sqrt(w0² - 2β²), of height
// f/(2|β|·sqrt(w0² - β²)), half as high in power at wf² = wr² ± 2|β|·sqrt(w0² - β²) (no lower
// one where that is negative), the width (high² - low²)/(high + low), which two close
// frequencies would lose: closed forms, for β != 0 (|X| holds β²) and w0² > 2β².
CurvePeak exact_peak(const Motion &motion);

// Where |X|² falls to half its value f²/w0⁴ at wf = 0, for a curve without a peak (β > 0,
// w0² <= 2β², w0 > 0): wf² = w0² - 2β² + sqrt((w0² - 2β²)² + w0⁴).
double falling_half_power(const Motion &motion);

// The highest point of `amplitude` over [low, high]: the largest of `samples` evenly spread and
// of `seeds` within the range, then golden sections between that sample's neighbours; its
// half-power frequencies where the curve crosses them within the range, by bisection.
CurvePeak curve_peak(const std::function<double(double)> &amplitude, double low, double high,
                     int samples, const std::vector<double> &seeds);

// The driving frequencies within [low, high] at which one step turns the method's free
// oscillation as far as the force turns in a step (mod 2π): where its own resonance lies.
std::vector<double> method_resonances(const Motion &motion, double h, double low, double high);

// The RK4 curve |Y(wf)| at the step h repeats every 4π/h (its stages sample the force every
// h/2) and is symmetric about 2π/h: all of it lies in [0, 2π/h].
double response_repeat(double h);

// The RK4 curve's own peak, over [0, 2π/h]: found among samples there and near the exact
// peak, the method's resonances and w0. A curve highest at wf = 0 has none (wf = 0 then).
CurvePeak method_peak(const Motion &motion, double h);

// Where a curve's peak at `wf`, and its repeats k·repeat ± wf (none for an infinite repeat),
// stand against [low, high]: the first within it, or the side the curve is highest on there.
struct Placed {
    enum class Where { inside, rises, falls } where;
    double at; // inside: the first of the peak and its repeats within the range
};
Placed placed(double wf, double repeat, double low, double high,
              const std::function<double(double)> &amplitude);

} // namespace osc

// What each question finds, as numbers and a classification, before a word is written:
// oscstudy/questions.hpp finds them, oscstudy/wording.hpp alone says them. A quantity that does
// not exist is a Value without one, and says why.
#pragma once

#include "checking/judge.hpp"
#include "dataformat/rows.hpp"
#include "methods/methods.hpp"
#include "order/verdict.hpp"
#include "oscstudy/study.hpp"
#include "process/child.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace osc {

// Why a quantity of an answer does not exist.
enum class Absent {
    none,              // it does
    overflow,          // the rows have passed the largest double: inf and nan
    energy_at_rest,    // E0 = 0, so E/E0 - 1 means nothing
    not_free_undamped, // the energy factor of a step belongs to free undamped motion only
    no_oscillation,    // the motion does not oscillate
    method_no_turn,    // the method at this step does not oscillate: its M has real eigenvalues
    few_crossings,     // the rows cross zero fewer than twice
    no_peak,           // the rows have no highest x after their first zero
    exact_no_peak,     // the exact motion has no highest x near it within the run
    never_settles,     // the rows never settle to a steady oscillation
    no_fit,            // too few rows after the transient to fit an oscillation to
    no_rows,           // the run gives no row
    no_damping,        // without damping the steady amplitude is infinite at wf = w0
    no_peak_falls,     // the curve falls from wf = 0: it has no peak
    no_lower_half,     // the curve is above half power already at wf = 0
    no_upper_half,     // the method's curve stays above half power up to 2π/h, where it turns back
    no_spring,         // w0 = 0
    always_grows,      // a stability limit: the method makes the motion grow at every step
    below_resolution,  // a stability limit below what doubles resolve: one step's damping is lost
    still,             // h = 0: time does not advance
};

// A number of an answer, or why there is none. A number past the largest double, or below the
// least normal one, exists: it is kept as its logarithm.
struct Value {
    double value = NAN;
    Absent absent = Absent::none;
    double log = NAN; // ln|value| where value is ±inf for having passed the largest double, or
                      // subnormal or 0 for being below the least normal one
};
inline Value of(double value) { return {value, Absent::none}; }
inline Value missing(Absent why) { return {NAN, why}; }
// The value where it is finite, or missing for `why`.
inline Value finite_or(double value, Absent why)
{
    return std::isfinite(value) ? of(value) : missing(why);
}
// The value where it is finite; past the largest double, e^log_value with value's sign (if log
// is finite); else missing, the rows having passed it themselves.
inline Value sized(double value, double log_value)
{
    if (std::isfinite(value)) return of(value);
    if (std::isfinite(log_value) && !std::isnan(value)) return {value, Absent::none, log_value};
    return missing(Absent::overflow);
}

// The rows and what the study read them from: computed, or a data file's six digits.
struct RowsRead {
    std::size_t count = 0;
    bool from_file = false;
    double overflow_t = NAN; // the first row whose numbers are not finite
    // From a file: the least and the largest half unit of the last digit of x over the rows,
    // that of the row read last, and how the file writes x.
    double least_rounding = INFINITY, most_rounding = 0.0;
    double rounding = 0.0;
    std::array<Writing, 3> writing; // of t, x and v
};

// How the error x - x_exact grows along the run.
struct ErrorFinding {
    enum class Growth {
        exact,       // none but rounding: the method is exact on this motion (at rest, x0 + v0·t)
        rounding,    // a file's rows: what shows is within the rounding of their six digits
        linear,      // it grows: the drift of each step adds up, still small
        slowing,     // it grows, less than linearly (the drift saturating, where it is large)
        bounded,     // it does not grow (the drift saturated, where it is large)
        steady,      // driven: the transient has died out, the steady difference |Y - X| is left
        decaying,    // the error dies out with the damped motion
        exponential, // it grows by a factor a step
        settling,    // driven: the transient is dying out, still there at the end
        overflow,    // the rows pass the largest double, though nothing grows: the numbers' size
        doubles,     // the method's drift over the run is below what doubles resolve of the
                     // motion (`doubles`, a share of its size): what shows is their rounding
    } growth;
    enum class Cause { unstable_step, physics_grows, backward } cause; // exponential
    bool at_rest;      // exact: nothing moves
    bool still;        // exact: h = 0, every row the start
    bool driven;
    bool shows;        // exponential: the growth over the run, e^(n·ρ), reaches twofold
    double run_growth; // exponential: n·ρ, ln of the growth over the run
    bool rounding_left;    // steady: the error left passes |Y - X|, and the rest is rounding
    Value left;            // steady: the largest |x - x_exact| over the last period of the force
    double transient_share = NAN; // settling: the transient left at the end, over |X|
    double log_factor; // exponential: the largest growth a step, ln, the method's or the physics'
    double step_size;  // unstable_step: h·|λ| and the method's limit on its ray
    double limit;
    Value measured;    // exponential: the factor a step the rows show
    Value ratio;       // the largest |x - x_exact| of the second half over the first's
    double drift, log_amplitude, phase; // |n·ln(R/e^z)| over the run, and its two parts
    bool saturated;    // the drift is no longer small: e^(n·δ) - 1 grows slower than n·δ
    struct Shown {
        double t, x, exact;
        Value dx, dv;
    };
    std::vector<Shown> shown;
    Value largest_x, largest_v;
    double largest_x_t = NAN, largest_v_t = NAN;
    double last_t = NAN;
    Value last_x, last_v;
    Value predicted;   // free undamped: A·max|(R/e^z)^k - 1|, k up to the steps
    Value steady_gap;  // driven: |Y - X|
    double rounding = 0.0; // from a file: the six digits' rounding of the largest error's row
    double doubles = 0.0;  // doubles: their rounding over the run, a share of the motion's size
    RowsRead rows;
    std::vector<Row> envelope; // (t, largest |x - x_exact|, largest |v - v_exact|) of stretches
    // Free undamped: A·max|(R/e^z)^j - 1|, j up to the step of each stretch's time, as
    // `predicted` is at the run's end; empty elsewhere.
    std::vector<double> predicted_envelope;
};

// How the energy E = (v² + w0²·x²)/2 goes along the run.
struct EnergyFinding {
    enum class Kind {
        kept,     // it stays, as `why_kept` says
        drifting, // free undamped: each step multiplies it by the method's factor, below 1
        decaying, // the damping takes it away, computed and exact alike
        growing,  // it grows: the step, the physics or a run backward in time
        forced,   // the force gives and takes it
    } kind;
    enum class Cause { unstable_step, negative_damping, backward } cause; // growing
    enum class Kept {
        at_rest,   // nothing moves
        no_spring, // no spring and no damping: E = v²/2, and v stays, as RK4 computes it
        still,     // h = 0: every row is the start
        rounding,  // the method's loss over the run is below the rounding of doubles
        digits,    // from a file: E/E0 - 1, measured and predicted, is within what its digits hide
    } why_kept;
    double start;     // E0
    double start_log; // ln E0, where E0 passes the largest double or is below the least normal
    bool from_rest;   // E0 = 0: nothing moves, or no spring holds x's energy
    double digits;    // from a file: the most that rounding its first and last rows to their
                      // digits moves E/E0 - 1
    double double_rounding; // kept by rounding: E/E0 - 1 that the doubles' rounding gives
    double z;         // h·w0
    Value factor;     // free undamped: 1 + the method's energy drift
    double drift;     // free undamped: the drift itself, det M - 1
    Value predicted;  // factor^steps - 1
    bool agrees;      // the rows' E/E0 - 1 at the end is the predicted one, within the tolerance
    double log_step_gain; // growing by the step: ln |R|² a step of the mode that grows
    double steps;
    struct Shown {
        double t;
        Value e, exact, rel, rel_exact;
    };
    std::vector<Shown> shown;
    double end_t = NAN;
    Value end_rel, end_rel_exact, end_e, end_exact;
    Value end_ratio, end_ratio_exact; // E/E0 at the end, with its digits where E is nearly gone
    Value apart; // the largest |E - E_exact| over the rows, as a share of E0 (or, with E0 = 0,
                 // of the largest exact E)
    RowsRead rows;
    // E spans decades (decaying, growing): drawn as E/E0 on a log scale, not as E/E0 - 1.
    bool logarithmic;
    std::vector<Row> series;  // (t, computed, exact): E/E0 or E/E0 - 1, or E where E0 = 0
    std::vector<Row> apart_series; // (t, computed - exact, e^(-2β·t)): in E0 (E where E0 = 0);
                                   // the envelope where the energy decays as it (else NaN)
};

// x against t over the first and the last three periods, where the phase that the steps lose
// shows, or over the whole run in one window where it is shorter than six. Each window runs
// from its earlier time over `span`, and holds every `stride`-th of its rows, at most about
// most_dots: dots a student can tell apart, on the exact line they do not hide.
inline constexpr std::size_t most_dots = 60;
struct MotionWindows {
    bool two = false; // first and last; else `first` is the whole run
    double span = 0.0, first_from = 0.0, last_from = 0.0;
    std::size_t stride = 1;
    std::vector<Row> first, last;
};

// The period and the peaks of free motion.
struct PeriodFinding {
    enum class Kind { defined, absent } kind;
    // absent: the motion has no period; at rest, the oscillator has one, but nothing moves
    enum class Why { critical, overdamped, at_rest, no_spring } why;
    Value measured, exact, method;
    std::size_t crossings = 0;
    bool agrees;         // measured within the tolerance of the method's own
    bool by_method;      // measured nearer the method's than the method is to the exact: the
                         // gap to the exact is the method's own, not the measurement's
    bool rounding;       // measured off the method's by more than the method off the exact, and
                         // within what doubles resolve of x (`resolution`, a share of its size)
    double resolution;
    double unreachable = NAN; // damped: the exact motion's second zero, where |x| is below the
                              // least double by then (the rows, 0 from there on, cross no more)
    double rows_per_period; // a step's turn of the method, in rows a period
    bool unstable;       // the step makes a mode that does not grow grow: the rows diverge
    double step_size, limit; // unstable: h·|λ| and the method's limit on its ray
    Value first_peak, first_peak_exact, last_peak, last_peak_exact;
    double first_peak_t = NAN, last_peak_t = NAN;
    RowsRead rows;
    MotionWindows windows;
};

// The steady oscillation of driven motion, once the transient is over.
struct SteadyFinding {
    enum class Kind { settled, unsettled, never } kind;
    // never: the step grows the transient, the run goes backward in time (where it grows), or
    // h = 0 keeps every row at the start
    enum class Never { unstable, backward, still } never;
    double from;          // the rows fitted: t >= from
    double rows_per_period; // of the force, 2π/(wf·h)
    double alias = NAN;   // below two rows a period, the period the rows show (infinite: none)
    double off = NAN;     // |Y|/|X|, where the method's steady response strays from the exact one
    Value amplitude, phase, period; // from the rows
    double exact_amplitude, exact_phase, forced_period;
    Value method_amplitude, method_phase;
    double last_peak = NAN, last_peak_t = NAN; // the last highest x of the steady rows
    RowsRead rows;
    MotionWindows windows;
};

// The peak of a whole resonance curve, and where it stands against the range of wf shown.
struct PeakFinding {
    enum class Kind {
        peak,          // a peak
        falls,         // the curve falls from wf = 0: no peak
        no_damping,    // exact: no finite peak
        no_spring,     // w0 = 0: infinite at wf = 0
        never_settles, // the method's: the step makes a mode grow, and there is no curve
    } kind;
    Value wf, height, low, high, width, q;
    double start = NAN, falling_half = NAN; // falls: the curve at wf = 0, and its half power
    Placed place{Placed::Where::inside, NAN}; // peak: against the range shown
};

// A frequency the program drives at, measured from its own rows.
struct MeasuredPoint {
    double wf;
    Value measured, method, exact, gap;
    Value phase; // of the measured oscillation, as arg X
};

struct ResonanceFinding {
    bool per_unit_force;   // harmosc: no force, the curve for f = 1
    double h, low, high;   // the range of wf shown
    bool grows;            // β < 0: the motion grows, and its rows never reach the curve
    double repeat;         // the method's curve repeats every 4π/h
    bool turns_back;       // the range passes 2π/h, where the method's curve turns back
    Value textbook_q;      // w0/(2β)
    PeakFinding exact, method;
    std::vector<MeasuredPoint> points;
    Value furthest;        // the largest |measured - method|
    bool short_runs;       // a run ended before its transient fell below settled_share
    std::vector<double> wf, exact_curve, method_curve; // the curves, NaN where none
    std::vector<double> exact_phase, method_phase;     // arg X and arg Y, NaN where none
};

// One method on the run.
struct MethodFinding {
    const Method *method;
    std::vector<Run> runs; // errors in x at the last row's time, at h, h/2, h/4, h/8
    std::vector<Run> counted; // the same where the error is the method's (see study_method), else NaN
    Verdict verdict;       // on the counted runs
    bool unstable;         // h·w0 past the method's stability limit, or no step is stable: the
                           // computed motion grows without bound
    Value energy_end;      // E/E0 - 1 at the last row
    // How E goes on free undamped motion: as its factor a step, raised to the steps; kept
    // bounded, oscillating (the area of the phase plane kept, within the stability limit); or
    // growing (the area kept, past the limit, where an eigenvalue of M passes 1).
    enum class Energy { predicted, oscillates, grows } energy;
    Value energy_predicted;
    Value period, limit;
    std::vector<Row> series; // (t, x, E/E0 - 1), thinned (E where E0 = 0)
    std::vector<double> x_error; // |x - x_exact| at each row of the series
};

struct MethodsFinding {
    std::vector<MethodFinding> methods;
    double exact_period_value; // infinite where the motion does not oscillate
    double h_w0;
    bool backward; // h < 0: every method, like the exact motion, grows going back in time
    bool from_rest; // E0 = 0: the energies are drawn as E, not E/E0 - 1
    std::vector<Row> exact; // (t, x_exact, 0), thinned
};

// Why the rows of a data file given to a question are not those of the run it studies, if
// they are not: found as they are read, in step with the run's own.
struct FileFault {
    enum class Kind {
        none,
        shape,         // no file of rows (the reader's finding in `shape`)
        being_written, // one of our runs holds it locked
        cut,           // its last line is cut short
        more_rows,     // more rows than the run's
        fewer_rows,    // fewer rows than the run's (`rows`)
        time,          // a row's t is not the running sum's
        start,         // the first row is not x0 and v0
        departs,       // a row's x or v is not the run's to its digits
        not_finite,    // a row holds nan or inf, as the run's does: it passed the largest double
        not_number,    // a row holds nan or inf where the run's is finite (`column`)
    } kind = Kind::none;
    StudentShape shape;
    double line = 0, rows = 0; // the row at fault, counted from 1; the file's rows
    int column = 0;            // 0 t, 1 x, 2 v
    Row held{}, computed{};    // the row at fault, in the file and in the run
    FileCheck cause;           // time, departs: the file judged against the catalogue
    int choice = 0;            // drivenosc: another escolha whose RK4 gives the file's rows
};

// How a program's data file came to be where the run left it.
enum class Origin {
    written,   // a file of its own, written during the run
    link,      // a symbolic link, or a file linked from elsewhere as well
    older,     // a file last written before the run began: put there, not written
};

// One file a student handed in, or one run of a student's program, judged.
struct Checked {
    std::string name;       // the file as given, or the program's
    std::size_t group = 0;  // the files of one argument or one folder; a program's runs
    double run_h = NAN;     // a program's run: its step
    Finished finished;      // a program's run: how it ended
    bool ran_well = true;   // a program's run: it ended by itself with status 0, within bounds,
                            // leaving no process behind and its data file written by itself
    bool file_full = false; // a program's run: its data file reached the bound on a file's size,
    unsigned long long file_bound = 0; // which was this
    bool no_file = false;              // a program's run: it ended well but left no data file
    Origin origin = Origin::written;   // a program's run: its data file's
    std::string interpreter;           // a program's run that found no file to execute: the
                                       // first line's "#!" program, which is what is missing
    int choice = 0;                    // drivenosc: the escolha its equation took
    bool choice_named = false;         // that escolha is its file's name's
    bool choice_from_rows = false;     // that escolha is the one whose rows the file holds
    int given_choice = 0;              // the escolha given, where the rows are another's
    FileCheck check;                   // its rows, where there are any to judge
    double order = NAN;                // the observed order of the ladder of files it is in, if any
    bool order_settled = false;        // as that ladder's verdict holds it
};

// What a folder holds that is not judged, and why.
struct Skipped {
    std::string path;
    enum class Why {
        table,       // the CSV this run writes
        own,         // a file of the tools: a table of verificar, a figure, a figure's tables
        folder_link, // a symbolic link to a folder, not followed: it may lead back up
    } why;
};

// The files and runs of `verificar`, each judged, and the ladders of steps among them.
struct VerifyFinding {
    std::vector<Checked> items;
    std::vector<Ladder> ladders; // over `items`
    std::vector<Skipped> skipped;
    bool program_given = false;
    std::string program;        // a student's program
    std::size_t passed() const; // the items whose rows are the programs' RK4's
};

} // namespace osc

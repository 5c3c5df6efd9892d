#include "checking/judge.hpp"

#include "disk/datafile.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/time_grid.hpp"
#include "text/format.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace osc {

std::vector<std::size_t> FileCheck::matched() const
{
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < departures.size(); ++i)
        if (!departures[i].departed()) all.push_back(i);
    return all;
}

bool FileCheck::rk4_matched() const
{
    const std::vector<std::size_t> all = matched();
    return std::any_of(all.begin(), all.end(), [](std::size_t i) { return is_rk4(catalogue()[i]); });
}

const Departure &FileCheck::from_rk4() const
{
    const std::vector<Entry> &entries = catalogue();
    const auto rk4 = std::find_if(entries.begin(), entries.end(), is_programs_rk4);
    return departures[static_cast<std::size_t>(rk4 - entries.begin())];
}

double shortest_decimal(double low, double high, int *digits)
{
    if (low <= 0.0 && 0.0 <= high) {
        if (digits != nullptr) *digits = 1;
        return 0.0;
    }
    // The decimal of d digits nearest the middle is within the range if any of d digits is.
    const double middle = low + (high - low) / 2;
    for (int d = 1; d <= 17; ++d) {
        const double candidate = std::strtod(format("%.*g", d, middle).c_str(), nullptr);
        if (!(candidate >= low && candidate <= high)) continue;
        if (digits != nullptr) *digits = d;
        return candidate;
    }
    return NAN;
}

namespace {

// The widest interval of steps, against the step, that rows are judged within.
constexpr double coarsest_spread = 1e-5;

bool finite(const Row &row)
{
    return std::isfinite(row.t) && std::isfinite(row.x) && std::isfinite(row.v);
}

// Narrows [low, high] to the steps whose running sum writes `t`, `k` steps on, as the file
// does: within half a unit of its last digit, and the sum's drift.
void steps_writing(double t, double k, const Writing &writing, double &low, double &high)
{
    const double room = rounding(writing, t) + order_rounding * (k + 1) * std::fabs(t);
    low = std::max(low, (t - room) / k);
    high = std::min(high, (t + room) / k);
}

// The most steps past a file's last row that are counted to the final time given.
constexpr double most_short_steps = 1e7;

// How the file's last row stands against the final time given: past end/h, or before the last
// row the program writes to it. That row is N steps on where the program counts N; else it is
// the running sum's last within the end, which may fall a step short of end/h (0.1 two hundred
// times is 20.000000000000014, past 20). A step known only within its spread counts the steps
// that every step in it takes.
void fit_end(FileCheck &check, const Equation &equation)
{
    if (!std::isfinite(check.end)) return;
    const double last = (check.step.from_start ? 0.0 : 1.0) + check.shape.rows - 1;
    const double wanted = check.end / check.h;
    if (last > wanted + 1e-6 * std::max(1.0, std::fabs(wanted))) {
        check.end_fit = End::late;
        return;
    }
    double due = last;
    double t = running_sum(check.h, last);
    if (equation.counted) due = std::max(last, equation.steps);
    else
        while (due - last < most_short_steps &&
               t + check.h + (due + 1) * check.spread <= check.end) {
            t = t + check.h;
            due += 1;
        }
    check.short_by = due - last;
    if (check.short_by == 0) return;
    check.end_fit = End::early;
    if (check.spread == 0 && check.short_by < most_short_steps)
        check.last_due = equation.counted ? running_sum(check.h, due) : t;
}

// The later of the departures of RK4 with either clock.
double rk4_departure_line(const FileCheck &check)
{
    double line = 0;
    for (std::size_t i = 0; i < check.departures.size(); ++i)
        if (is_rk4(catalogue()[i])) line = std::max(line, double(check.departures[i].line));
    return line;
}

Judgement judgement_of(const FileCheck &check)
{
    if (check.rk4_matched()) {
        if (check.shape.cut || check.end_fit == End::early) return Judgement::cut;
        if (check.other_step || check.other_start || check.end_fit == End::late)
            return Judgement::other_constants;
        return Judgement::rk4;
    }
    if (!check.shape.ended && rk4_departure_line(check) == double(check.shape.last_line))
        return Judgement::cut;
    if (!check.matched().empty()) return Judgement::other_entries;
    if (std::isfinite(check.fitted_k)) return Judgement::other_constants;
    return Judgement::none;
}

// The departures of every entry from the rows of `check`'s file on `grid`, read again.
std::vector<Departure> departures_on(const StudentFile &reader, const FileCheck &check,
                                     const Stepping &grid)
{
    Identification again(grid);
    StudentShape shape = check.shape;
    reader.rows(shape, [&](const Row &row, std::size_t line) {
        again.take(row, line);
        return !again.settled();
    });
    return shape.fault == ShapeFault::none ? again.departures()
                                           : std::vector<Departure>(catalogue().size(), {0});
}

// Whether RK4, with either clock, gives every row of `check`'s file on `grid`.
bool rk4_gives(const StudentFile &reader, const FileCheck &check, const Stepping &grid)
{
    FileCheck judged;
    judged.departures = departures_on(reader, check, grid);
    return judged.rk4_matched();
}

// `unit`·p/q within [low, high] (0 < low) of least q up to 10000, as a student computes it,
// (unit·p)/q; NaN where none is.
double simplest_fraction(double low, double high, double unit)
{
    for (double q = 1; q <= 10000; ++q) {
        const double fraction = unit * std::ceil(low / unit * q) / q;
        if (fraction >= low && fraction <= high) return fraction;
    }
    return NAN;
}

// A step that the times tell only to an interval, found exact: a fraction of it (10/30) or of
// π (2π/100), whichever gives the rows as some entry of the catalogue does; NaN where neither.
double exact_step(const FileCheck &check, const StudentFile &reader, Stepping grid)
{
    const double low = check.step.low;
    const double high = check.step.high;
    if (!(low > 0)) return NAN;
    for (const double h : {simplest_fraction(low, high, 1.0), simplest_fraction(low, high, pi)}) {
        if (std::isnan(h)) continue;
        grid.h = h;
        grid.spread = 0;
        FileCheck judged;
        judged.departures = departures_on(reader, check, grid);
        if (!judged.matched().empty()) return h;
    }
    return NAN;
}

// Free motion whose rows no entry gives: k/m and b/m, the shortest decimals near the fitted
// map's (w0², 2β) first, with which RK4 gives every row, if they are other than the motion's.
void fit_constants(FileCheck &check, const StudentFile &reader, Stepping grid,
                   const Motion &motion)
{
    const double k = check.implied.w0 * check.implied.w0;
    const double b = 2 * check.implied.beta;
    if (!(std::isfinite(k) && std::isfinite(b))) return;
    const double scale = std::max(k, std::fabs(b));
    for (const double share : {1e-4, 1e-5, 1e-6}) {
        const double k_m = shortest_decimal(k - share * k, k + share * k);
        const double b_m = shortest_decimal(b - share * scale, b + share * scale);
        if (k_m == motion.w0 * motion.w0 && b_m == 2 * motion.beta) continue;
        grid.acceleration = [k_m, b_m](double, double x, double v) { return -k_m * x - b_m * v; };
        if (!rk4_gives(reader, check, grid)) continue;
        check.fitted_k = k_m;
        check.fitted_b = b_m;
        return;
    }
}

// The entries of the catalogue in both lists, each in the catalogue's order.
std::vector<std::size_t> common(const std::vector<std::size_t> &a, const std::vector<std::size_t> &b)
{
    std::vector<std::size_t> both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
    return both;
}

// Whether files whose rows the entries `a` and `b` give are of one method: an entry gives
// both, or none gives either.
bool same_method(const std::vector<std::size_t> &a, const std::vector<std::size_t> &b)
{
    return a.empty() ? b.empty() : !common(a, b).empty();
}

} // namespace

StepFound step_of(const StudentShape &shape, const StudentFile &reader)
{
    StepFound found;
    if (!std::isfinite(shape.first.t) || !std::isfinite(shape.second.t) ||
        !std::isfinite(shape.last.t)) {
        found.fault = TimeFault::not_finite;
        return found;
    }
    const Writing &writing = shape.writing[0];
    found.from_start = agrees(shape.first.t, 0.0, writing, 0.0);
    // Every row's time narrows the steps; the first's, when it is one step on, apart.
    constexpr double infinite = std::numeric_limits<double>::infinity();
    double low = -infinite;
    double high = infinite;
    double first_low = -infinite;
    double first_high = infinite;
    double k = found.from_start ? 0.0 : 1.0;
    StudentShape again = shape;
    reader.rows(again, [&](const Row &row, std::size_t) {
        if (k == 1.0 && !found.from_start) steps_writing(row.t, k, writing, first_low, first_high);
        else if (k > 0.0 && std::isfinite(row.t)) steps_writing(row.t, k, writing, low, high);
        k += 1.0;
        return true;
    });
    if (!found.from_start && low <= high && !(std::max(low, first_low) <= std::min(high, first_high))) {
        found.fault = TimeFault::start;
        return found;
    }
    low = std::max(low, first_low);
    high = std::min(high, first_high);
    if (!(low <= high) || (low <= 0.0 && 0.0 <= high)) {
        found.fault = TimeFault::step;
        return found;
    }
    found.low = low;
    found.high = high;
    int digits = 17;
    found.h = shortest_decimal(low, high, &digits);
    if (std::isnan(found.h)) found.h = low + (high - low) / 2;
    // A step typed as a short decimal needs no more digits than the times show; one that needs
    // more (1/3, 2π/100 written to six digits) is known only within [low, high].
    const int decimals = digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(found.h))));
    const bool typed = writing.decimals >= 0 ? decimals <= writing.decimals
                                             : digits <= writing.digits;
    if (!typed) found.spread = std::max(found.h - low, high - found.h);
    return found;
}

FileCheck check_file(const std::string &file, const Equation &equation)
{
    FileCheck check;
    check.file = file;
    check.departures.assign(catalogue().size(), {});
    const auto judged = [&](Judgement judgement) {
        check.judgement = judgement;
        return check;
    };
    StudentFile reader;
    check.shape = reader.survey(file);
    if (check.shape.fault != ShapeFault::none) return judged(Judgement::unreadable);
    if (being_written(file)) return judged(Judgement::being_written);
    check.step = step_of(check.shape, reader);
    if (check.step.fault != TimeFault::none) return judged(Judgement::times);
    // A first row at t = 0 holds the start: the one given, or else the rows' own.
    Motion motion = equation.motion;
    const std::array<Writing, 3> &writing = check.shape.writing;
    const Row &first = check.shape.first;
    if (check.step.from_start && finite(first)) {
        const bool given_start = agrees(first.x, motion.x0, writing[1], 0.0) &&
                                 agrees(first.v, motion.v0, writing[2], 0.0);
        check.other_start = equation.start_given && !given_start;
        check.start_from_file = !equation.start_given || check.other_start;
    }
    if (check.start_from_file) {
        motion.x0 = first.x;
        motion.v0 = first.v;
    }
    check.x0 = motion.x0;
    check.v0 = motion.v0;
    check.free_motion = motion.f == 0.0;

    // The step given where the times allow it; else the times' own, exact where a fraction of
    // the interval, or of π, gives the rows.
    Stepping grid{equation.acceleration, motion.x0, motion.v0, check.step.h, check.step.from_start,
                  writing, check.step.spread};
    check.other_step = !std::isnan(equation.h) &&
                       !(equation.h >= check.step.low && equation.h <= check.step.high);
    if (!std::isnan(equation.h) && !check.other_step) {
        grid.h = equation.h;
        grid.spread = 0;
    } else if (grid.spread > 0) {
        if (const double exact = exact_step(check, reader, grid); !std::isnan(exact)) {
            grid.h = exact;
            grid.spread = 0;
        }
    }
    // Six digits give a step to a few parts in 1e7: a step known only to 1e-5 of itself moves
    // late rows more than the methods' differences that tell them apart.
    if (grid.spread > coarsest_spread * std::fabs(grid.h)) {
        check.step.fault = TimeFault::coarse;
        return judged(Judgement::times);
    }
    check.h = grid.h;
    check.spread = grid.spread;
    check.end = !std::isnan(equation.end) ? equation.end
                                          : equation.steps * (check.other_step ? equation.h
                                                                               : check.h);
    fit_end(check, equation);
    Identification identification(grid);
    ExactErrors exact(motion, check.h, check.step.from_start);
    MapFit fit;
    const bool read = reader.rows(check.shape, [&](const Row &row, std::size_t line) {
        identification.take(row, line);
        exact.take(row);
        if (check.free_motion) fit.take(row);
        return true;
    });
    // Rows that moved under the reading, or a run that began writing meanwhile.
    if (being_written(file) || (!read && check.shape.fault == ShapeFault::changed))
        return judged(Judgement::being_written);
    if (!read) return judged(Judgement::unreadable);
    check.departures = identification.departures();
    check.error = exact.found();
    if (check.free_motion) check.implied = rk4_constants(fit.map(), check.h);
    if (check.free_motion && check.matched().empty())
        fit_constants(check, reader, grid, motion);
    return judged(judgement_of(check));
}

std::vector<Ladder> ladders(const std::vector<FileCheck> &checks)
{
    // The files that have errors to compare, largest step first.
    std::vector<std::size_t> files;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const Judgement j = checks[i].judgement;
        if (j != Judgement::unreadable && j != Judgement::being_written && j != Judgement::times &&
            checks[i].error.rows > 0)
            files.push_back(i);
    }
    std::stable_sort(files.begin(), files.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(checks[a].h) > std::fabs(checks[b].h);
    });
    const auto steps_to_end = [&](std::size_t i) {
        return (checks[i].step.from_start ? 0.0 : 1.0) + checks[i].error.rows - 1;
    };
    std::vector<Ladder> found;
    std::vector<bool> taken(checks.size(), false);
    for (const std::size_t top : files) {
        if (taken[top]) continue;
        // Each rung half the step of the one above, to the top's end within the top's step, and
        // of one method with every file above: an entry of the catalogue gives all their rows,
        // or none gives any of them. Of several such files at one step, several students' or
        // tries, the first in the list (by name, in a folder) is the rung.
        Ladder ladder;
        ladder.files.push_back(top);
        std::vector<std::size_t> method = checks[top].matched();
        for (;;) {
            const double half = checks[ladder.files.back()].h / 2;
            const auto rung = std::find_if(files.begin(), files.end(), [&](std::size_t i) {
                return !taken[i] && i != top &&
                       std::fabs(checks[i].h - half) <= 1e-6 * std::fabs(half) &&
                       std::fabs(checks[i].shape.last.t - checks[top].shape.last.t) <=
                           std::fabs(checks[top].h) * (1 + 1e-6) &&
                       same_method(method, checks[i].matched());
            });
            if (rung == files.end()) break;
            ladder.files.push_back(*rung);
            method = common(method, checks[*rung].matched());
        }
        if (ladder.files.size() < 2) continue;
        for (const std::size_t i : ladder.files) taken[i] = true;
        // The last step of the top's grid that every rung reaches.
        double shared = INFINITY;
        for (std::size_t rung = 0; rung < ladder.files.size(); ++rung)
            shared = std::min(shared, std::floor(steps_to_end(ladder.files[rung]) /
                                                 std::ldexp(1.0, static_cast<int>(rung))));
        std::vector<Run> runs;
        for (std::size_t rung = 0; rung < ladder.files.size(); ++rung) {
            const FileCheck &c = checks[ladder.files[rung]];
            const double steps = shared * std::ldexp(1.0, static_cast<int>(rung));
            const RowError e = c.error.of_row(steps - (c.step.from_start ? 0.0 : 1.0));
            ladder.before_end = ladder.before_end || steps < steps_to_end(ladder.files[rung]);
            ladder.at = e.t;
            runs.push_back({c.h, e.error, rounding(c.shape.writing[1], e.x)});
        }
        const bool known = std::all_of(runs.begin(), runs.end(),
                                       [](const Run &run) { return std::isfinite(run.error); });
        if (!known) continue;
        ladder.verdict = judge(runs);
        found.push_back(ladder);
    }
    return found;
}

} // namespace osc

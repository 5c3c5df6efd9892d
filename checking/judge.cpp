#include "checking/judge.hpp"

#include "disk/datafile.hpp"
#include "stepmath/rk4.hpp"
#include "text/format.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace osc {

std::vector<std::size_t> FileCheck::matched() const
{
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < departures.size(); ++i)
        if (!departures[i].departed()) all.push_back(i);
    return all;
}

const Departure &FileCheck::from_rk4() const
{
    const std::vector<Entry> &entries = catalogue();
    const auto rk4 = std::find_if(entries.begin(), entries.end(), is_programs_rk4);
    return departures[static_cast<std::size_t>(rk4 - entries.begin())];
}

namespace {

bool finite(const Row &row)
{
    return std::isfinite(row.t) && std::isfinite(row.x) && std::isfinite(row.v);
}

// Whether the running sum of `h` from 0 writes the times of the first, second and last rows as
// the file does, the first row `first` steps on.
bool gives_times(const StudentShape &shape, double h, double first)
{
    const double last = first + shape.rows - 1;
    double t = 0.0;
    for (double k = 0; k <= last; ++k, t = t + h) {
        const bool shown = k == first || k == first + 1 || k == last;
        const double written = k == first  ? shape.first.t
                               : k == last ? shape.last.t
                                           : shape.second.t;
        if (shown && !agrees(written, t, order_rounding * (k + 1) * std::fabs(t))) return false;
    }
    return true;
}

// Whether the constants that the fitted map implies are other than the motion's, by more than
// the warnings' tolerance of the larger of w0 and |β|.
bool other_constants(const Constants &implied, const Motion &motion)
{
    if (!(std::isfinite(implied.w0) && std::isfinite(implied.beta))) return false;
    const double scale =
        std::max({motion.w0, std::fabs(motion.beta), implied.w0, std::fabs(implied.beta)});
    return std::fabs(implied.w0 - motion.w0) > tolerance * scale ||
           std::fabs(implied.beta - motion.beta) > tolerance * scale;
}

Judgement judgement_of(const FileCheck &check, const Motion &motion)
{
    const Departure &rk4 = check.from_rk4();
    if (!rk4.departed()) return Judgement::rk4;
    if (!check.shape.ended && rk4.line == check.shape.last_line) return Judgement::cut;
    if (!check.matched().empty()) return Judgement::other_entries;
    if (check.free_motion && other_constants(check.implied, motion))
        return Judgement::other_constants;
    return Judgement::none;
}

} // namespace

TimeFault step_of(const StudentShape &shape, double &h, bool &from_start)
{
    if (!std::isfinite(shape.first.t) || !std::isfinite(shape.second.t) ||
        !std::isfinite(shape.last.t))
        return TimeFault::not_finite;
    from_start = agrees(shape.first.t, 0.0, 0.0);
    const double first = from_start ? 0.0 : 1.0;
    const double estimate = shape.last.t / (first + shape.rows - 1);
    if (!std::isfinite(estimate) || estimate == 0.0) return TimeFault::step;
    // A first row one step on sits at h, as far as six digits and the last row's time tell.
    if (!from_start && !(std::fabs(shape.first.t - estimate) <= 1e-3 * std::fabs(estimate)))
        return TimeFault::start;
    for (int digits = 1; digits <= 17; ++digits) {
        const double candidate = std::strtod(format("%.*g", digits, estimate).c_str(), nullptr);
        if (!gives_times(shape, candidate, first)) continue;
        h = candidate;
        return TimeFault::none;
    }
    return TimeFault::step;
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
    check.time_fault = step_of(check.shape, check.h, check.from_start);
    if (check.time_fault != TimeFault::none) return judged(Judgement::times);

    Motion motion = equation.motion;
    check.start_from_file = !equation.start_given && check.from_start && finite(check.shape.first);
    if (check.start_from_file) {
        motion.x0 = check.shape.first.x;
        motion.v0 = check.shape.first.v;
    }
    check.x0 = motion.x0;
    check.v0 = motion.v0;
    check.free_motion = motion.f == 0.0;
    Identification identification(
        {equation.acceleration, motion.x0, motion.v0, check.h, check.from_start});
    ExactErrors exact(motion, check.h, check.from_start);
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
    return judged(judgement_of(check, motion));
}

std::vector<Ladder> ladders(const std::vector<FileCheck> &checks)
{
    // The files that have an error at their end, by their final time as written, each time's
    // steps from the largest.
    std::map<std::string, std::vector<std::size_t>> by_end;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const FileCheck &c = checks[i];
        const bool judged = c.judgement != Judgement::unreadable &&
                            c.judgement != Judgement::being_written &&
                            c.judgement != Judgement::times;
        if (judged && std::isfinite(c.error.end))
            by_end[format("%.6g", c.shape.last.t)].push_back(i);
    }
    std::vector<Ladder> found;
    for (auto &[end, files] : by_end) {
        std::sort(files.begin(), files.end(), [&](std::size_t a, std::size_t b) {
            return std::fabs(checks[a].h) > std::fabs(checks[b].h);
        });
        // Two files at one step are two students', or two tries: no ladder can be told then.
        const auto same_step = [&](std::size_t a, std::size_t b) {
            return checks[a].h == checks[b].h;
        };
        if (std::adjacent_find(files.begin(), files.end(), same_step) != files.end()) continue;
        Ladder ladder;
        const auto close = [&] {
            if (ladder.files.size() >= 2) {
                std::vector<Run> runs;
                for (const std::size_t i : ladder.files)
                    runs.push_back(
                        {checks[i].h, checks[i].error.end, rounding_of(checks[i].error.end_x)});
                ladder.verdict = judge(runs);
                found.push_back(ladder);
            }
            ladder.files.clear();
        };
        for (const std::size_t i : files) {
            const bool halves = !ladder.files.empty() &&
                                std::fabs(2 * checks[i].h - checks[ladder.files.back()].h) <=
                                    1e-12 * std::fabs(checks[i].h);
            if (!halves) close();
            ladder.files.push_back(i);
        }
        close();
    }
    return found;
}

} // namespace osc

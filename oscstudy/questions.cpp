#include "oscstudy/questions.hpp"

#include "checking/identify.hpp"
#include "oscstudy/study.hpp"
#include "stepmath/driven.hpp"
#include "stepmath/rk4.hpp"
#include "stepmath/sampling.hpp"
#include "thinning/thinning.hpp"
#include "warnings/run_error.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <map>

namespace osc {

namespace {

// The growth over the run, e^(n·ρ), from which the rows show a factor a step: from doubling on,
// it stands out of the steps' drift adding up. An unstable step grows by its factor whatever
// the run's length; a shorter run just does not show it yet.
constexpr double shown_growth = 2.0;

// The error grows when its largest in the run's second half passes the first half's by more
// than a tenth (written with two digits, 1.1 at least).
constexpr double growing_ratio = 1.1;

// Growing from 0 linearly, the error's largest in the second half is twice the first half's:
// from 1.5 on it grows nearly linearly.
constexpr double linear_ratio = 1.5;

// Whether the drift over the run, D = n·ln(R/e^z) (amplitude and phase), has saturated: where
// e^D - 1 at the run's end is less than linear_ratio times its value halfway, the error no
// longer grows nearly linearly, and no longer can.
bool saturates(double log_amplitude, double phase)
{
    const std::complex<double> drift(log_amplitude, phase);
    const auto apart = [](std::complex<double> d) { return std::abs(std::exp(d) - 1.0); };
    return apart(drift) < linear_ratio * apart(0.5 * drift);
}

// The stretches of rows whose largest errors the error's figure draws: a log scale shows their
// envelope, the errors swinging through zero every half period.
constexpr std::size_t envelope_stretches = 1000;

bool driven(const Motion &m) { return m.f != 0.0 && m.wf != 0.0; }

// The share of a free motion's size that a double resolves: ε, or where x or v/w0 is so small
// that it is subnormal, whose last bit is the least double, that over it.
double resolution(const Motion &m)
{
    const double size = std::hypot(m.x0, m.v0 / m.w0);
    if (!(m.w0 > 0.0 && size > 0.0)) return DBL_EPSILON;
    return std::max(DBL_EPSILON, DBL_TRUE_MIN / std::min(size, m.w0 * size));
}

// What the rounding of doubles leaves, as a share, in a quantity resolved to `share` after
// `steps` steps: a few units of its last bit a step, of either sign, adding up as a random walk.
double double_rounding(double steps, double share = DBL_EPSILON)
{
    return share * std::sqrt(std::max(1.0, steps));
}

// The motion driven at `wf` instead.
Motion driven_at(const Motion &motion, double wf)
{
    Motion driven = motion;
    driven.wf = wf;
    return driven;
}

// Reads the rows of `source` into `take`, counting them as `read` says.
std::string each_row(const Source &source, RowsRead &read, const std::function<void(const Row &)> &take)
{
    read = {};
    read.from_file = !source.file.empty();
    const auto count = [&](const Row &r, double rounding) {
        if (!finite(r) && std::isnan(read.overflow_t)) read.overflow_t = r.t;
        read.rounding = rounding;
        if (read.from_file && finite(r) && r.x != 0.0) {
            read.least_rounding = std::min(read.least_rounding, rounding);
            read.most_rounding = std::max(read.most_rounding, rounding);
        }
        ++read.count;
        take(r);
    };
    if (read.from_file) return file_rows(source.setup, source.file, count, &read.writing);
    RunRows run(source.setup, programs_method);
    for (Row r{}; run.next(r);) count(r, 0.0);
    return "";
}

// The shown rows of a run of `count`, each handed over once when its turn comes.
class Shown {
public:
    explicit Shown(std::size_t count) : at_(shown_rows(count)) {}
    // Whether row `i` (taken in order) is one shown.
    bool operator()(std::size_t i)
    {
        if (next_ >= at_.size() || at_[next_] != i) return false;
        ++next_;
        return true;
    }

private:
    std::vector<std::size_t> at_;
    std::size_t next_ = 0;
};

// The thinning of a run's rows against time, over the span of its first and last rows.
TimeThinning thinning_of(const Setup &setup)
{
    const double span = setup.last_t - setup.first_t;
    return TimeThinning(setup.first_t, std::isfinite(span) ? std::fabs(span / time_columns) : 0.0);
}

// The largest value of a stretch of rows, and where it is.
struct Largest {
    double value = 0.0;
    std::size_t at = 0;
};

// The factor a step that takes the largest of the first half of `stretches` to the largest of
// the second, over the stretches before the first that is not finite.
Value measured_factor(const std::vector<Largest> &stretches)
{
    std::size_t finite_count = 0;
    while (finite_count < stretches.size() && std::isfinite(stretches[finite_count].value))
        ++finite_count;
    Largest first;
    Largest second;
    for (std::size_t i = 0; i < finite_count; ++i) {
        Largest &half = i < finite_count / 2 ? first : second;
        if (stretches[i].value >= half.value) half = stretches[i];
    }
    if (!(second.at > first.at && first.value > 0.0)) return missing(Absent::overflow);
    return finite_or(std::pow(second.value / first.value, 1.0 / static_cast<double>(second.at - first.at)),
                     Absent::overflow);
}

// Where a driven run's steady oscillation is taken from: once the transient is below
// settled_share of |X|, if a period of the force fits after that; else the run's second half,
// the transient still in it.
struct Steady {
    double from;
    bool settled;
};
Steady steady_from(const Setup &setup)
{
    const double settled = settling_time(setup.motion, setup.h);
    if (settled + 2 * pi / setup.motion.wf <= setup.last_t) return {settled, true};
    return {setup.first_t + 0.5 * (setup.last_t - setup.first_t), false};
}

// What the rows of a file and of a driven run's end show beside the error's largest in each half.
struct Seen {
    double past_rounding = 0.0; // the most a row's error passes its six digits' rounding
    double left = 0.0;          // the largest error over the force's last period
};

// The error's classification: from what the step does to the modes where the step or the
// physics makes it grow by a factor, else from how the rows' error grows, and, driven, from
// how much of the transient is left.
void classify(const Setup &setup, const Seen &seen, ErrorFinding &found)
{
    using Growth = ErrorFinding::Growth;
    const Motion &m = setup.motion;
    const ModeGrowth g = mode_growth(m, setup.h, setup.steps);
    found.driven = driven(m);
    found.drift = g.drift;
    found.saturated = saturates(g.log_amplitude, g.phase);
    found.log_amplitude = g.log_amplitude;
    found.phase = g.phase;
    found.at_rest = at_rest(m);
    found.still = setup.h == 0.0;
    const bool grows = found.ratio.absent == Absent::none && found.ratio.value > growing_ratio;
    const bool steady = found.driven && settles(m, setup.h);
    const double period = 2 * pi / m.wf;
    const double doubles = double_rounding(setup.steps, resolution(m));
    if (found.at_rest || found.still || (!g.modes && !found.driven)) {
        found.growth = Growth::exact;
    } else if (found.rows.from_file && seen.past_rounding <= tolerance * found.largest_x.value) {
        // What passes each row's rounding is within the tolerance of the largest error seen.
        found.growth = Growth::rounding;
    } else if (g.log_growth > 0.0 && (g.unstable || g.log_growth * setup.steps >= std::log(shown_growth))) {
        found.growth = Growth::exponential;
        found.log_factor = g.log_growth;
        found.run_growth = g.log_growth * setup.steps;
        found.shows = found.run_growth >= std::log(shown_growth);
        found.cause = g.unstable      ? ErrorFinding::Cause::unstable_step
                      : setup.h < 0.0 ? ErrorFinding::Cause::backward
                                      : ErrorFinding::Cause::physics_grows;
        found.step_size = g.size;
        found.limit = g.stable_limit;
    } else if (!std::isnan(found.rows.overflow_t)) {
        found.growth = Growth::overflow;
    } else if (!found.driven && !found.rows.from_file && g.drift <= doubles) {
        found.growth = Growth::doubles;
        found.doubles = doubles;
    } else if (steady && steady_from(setup).settled) {
        // What is left past |Y - X| and the transient's remains, at most twice its size (exact
        // and computed), is rounding.
        found.growth = Growth::steady;
        found.left = of(seen.left);
        found.rounding_left = seen.left > (1 + tolerance) * found.steady_gap.value +
                                              2 * transient_left(m, setup.h, setup.last_t - period);
    } else if (grows) {
        found.growth = found.ratio.value >= linear_ratio ? Growth::linear : Growth::slowing;
    } else if (steady) {
        found.growth = Growth::settling;
        found.transient_share = transient_left(m, setup.h, setup.last_t) / std::abs(steady_amplitude(m));
    } else if (!found.driven && g.log_growth < 0.0 && found.ratio.value < 1.0) {
        found.growth = Growth::decaying;
    } else {
        found.growth = Growth::bounded;
    }
}

} // namespace

std::string find_error(const Source &source, ErrorFinding &found)
{
    const Setup &setup = source.setup;
    const Motion &m = setup.motion;
    const ExactMotion exact = exact_motion(m);
    const auto count = static_cast<std::size_t>(setup.rows);
    const std::size_t stretch = count / envelope_stretches + 1;
    found = {};
    Shown shown(count);
    std::vector<Largest> stretches;
    double halves[2] = {0.0, 0.0}; // the largest |x - x_exact| of each half, infinite past a double
    Seen seen;
    const bool from_file = !source.file.empty();
    const double last_period = driven(m) && setup.h > 0.0 ? setup.last_t - 2 * pi / m.wf : INFINITY;
    std::size_t i = 0;
    const auto take = [&](const Row &r) {
        const State e = exact_state(exact, r.t);
        const double dx = r.x - e.x;
        const double dv = r.v - e.v;
        if (from_file && finite(r))
            seen.past_rounding = std::max(seen.past_rounding, std::fabs(dx) - found.rows.rounding);
        if (r.t >= last_period && std::isfinite(dx)) seen.left = std::max(seen.left, std::fabs(dx));
        if (shown(i))
            found.shown.push_back({r.t, r.x, e.x, finite_or(dx, Absent::overflow),
                                   finite_or(dv, Absent::overflow)});
        if (i % stretch == 0) {
            found.envelope.push_back({r.t, NAN, NAN});
            stretches.push_back({});
        }
        // Those that are not finite have no place in a figure.
        const auto size = [](double e) { return std::isfinite(e) ? std::fabs(e) : NAN; };
        found.envelope.back().x = std::fmax(found.envelope.back().x, size(dx));
        found.envelope.back().v = std::fmax(found.envelope.back().v, size(dv));
        double &half = halves[i < count / 2 ? 0 : 1];
        half = std::isfinite(dx) ? std::max(half, std::fabs(dx)) : INFINITY;
        Largest &here = stretches.back();
        if (!std::isfinite(dx)) here.value = INFINITY;
        else if (std::fabs(dx) > here.value && std::isfinite(here.value)) here = {std::fabs(dx), i};
        if (std::isfinite(dx) && !(std::fabs(dx) <= found.largest_x.value)) {
            found.largest_x = of(std::fabs(dx));
            found.largest_x_t = r.t;
            if (from_file) found.rounding = found.rows.rounding;
        }
        if (std::isfinite(dv) && !(std::fabs(dv) <= found.largest_v.value)) {
            found.largest_v = of(std::fabs(dv));
            found.largest_v_t = r.t;
        }
        found.last_t = r.t;
        found.last_x = finite_or(dx, Absent::overflow);
        found.last_v = finite_or(dv, Absent::overflow);
        ++i;
    };
    if (std::string why = each_row(source, found.rows, take); !why.empty()) return why;
    // Past the largest double, the largest error is not a number either.
    if (!std::isnan(found.rows.overflow_t)) {
        found.largest_x = found.largest_v = missing(Absent::overflow);
        found.largest_x_t = found.largest_v_t = NAN;
    }
    if (std::isnan(found.largest_x.value)) found.largest_x = missing(Absent::overflow);
    if (std::isnan(found.largest_v.value)) found.largest_v = missing(Absent::overflow);
    found.ratio = finite_or(halves[1] / halves[0], Absent::overflow);
    found.measured = measured_factor(stretches);
    found.steady_gap = missing(Absent::never_settles);
    if (driven(m) && settles(m, setup.h))
        found.steady_gap =
            of(std::abs(rk4_response(m.w0, m.beta, m.f, m.wf, setup.h) - steady_amplitude(m)));
    classify(setup, seen, found);
    found.predicted = missing(Absent::not_free_undamped);
    if (m.beta == 0.0 && !driven(m) && m.w0 > 0.0) {
        const double amplitude = std::hypot(m.x0, m.v0 / m.w0);
        const auto predicted = [&](double steps) {
            return amplitude * deviation({0.0, setup.h * m.w0}, steps).largest;
        };
        found.predicted = finite_or(predicted(setup.steps), Absent::overflow);
        // Each stretch begins on row j·stretch, the steps of the first row after it.
        const double first_step = std::round(setup.first_t / setup.h);
        for (std::size_t j = 0; j < found.envelope.size(); ++j)
            found.predicted_envelope.push_back(predicted(first_step + static_cast<double>(j * stretch)));
    }
    return "";
}

namespace {

// ln E of (x, v), also where E itself passes the largest double: from ln|v| and ln|w0·x|.
double log_energy(const Motion &m, double x, double v)
{
    const double a = std::log(std::fabs(v));
    const double b = std::log(m.w0) + std::log(std::fabs(x));
    const double top = std::max(a, b);
    if (top == -HUGE_VAL) return top;
    return 2 * top + std::log(0.5 * (std::exp(2 * (a - top)) + std::exp(2 * (b - top))));
}

// E = (v² + w0²·x²)/2 of a row, past the largest double as its logarithm.
Value energy_value(const Motion &m, double x, double v)
{
    const double e = energy(m, x, v);
    return std::isfinite(e) ? of(e) : sized(e, log_energy(m, x, v));
}

// The energies of a motion, from x and v times 2^k, E times 4^k exactly: where E0 is below the
// least normal double though something moves, k takes it near 1, and E/E0 keeps the digits
// that E0's underflow would lose; elsewhere k = 0, and E is E.
class ScaledEnergy {
public:
    explicit ScaledEnergy(const Motion &m) : m_(m)
    {
        const double log_start = log_energy(m, m.x0, m.v0);
        if (!(energy(m, m.x0, m.v0) >= DBL_MIN) && std::isfinite(log_start))
            k_ = static_cast<int>(std::lround(-0.5 * log_start / std::log(2.0)));
    }
    // E·4^k of (x, v).
    Value operator()(double x, double v) const { return energy_value(m_, std::ldexp(x, k_), std::ldexp(v, k_)); }
    // E itself from E·4^k: below the least normal double, as its logarithm too.
    Value unscaled(const Value &e) const
    {
        if (k_ == 0 || e.absent != Absent::none) return e;
        const double value = std::ldexp(e.value, -2 * k_);
        if (std::isfinite(value) && value >= DBL_MIN) return of(value);
        const double log = (std::isfinite(e.value) ? std::log(e.value) : e.log) - 2 * k_ * std::log(2.0);
        return {value, Absent::none, log};
    }
    // The most that moving x and v by dx and dv moves E·4^k: w0²·|x|·dx + w0²·dx²/2 + |v|·dv + dv²/2.
    double spread(double x, double v, double dx, double dv) const
    {
        const double w0x = m_.w0 * std::ldexp(std::fabs(x), k_);
        const double w0dx = m_.w0 * std::ldexp(dx, k_);
        const double sv = std::ldexp(std::fabs(v), k_);
        const double sdv = std::ldexp(dv, k_);
        return w0x * w0dx + 0.5 * w0dx * w0dx + sv * sdv + 0.5 * sdv * sdv;
    }

private:
    const Motion &m_;
    int k_ = 0;
};

// ln|value| of a number that exists.
double log_of(const Value &v) { return std::isfinite(v.value) ? std::log(std::fabs(v.value)) : v.log; }

// a/b - 1 of two energies that exist, b > 0: directly where that is finite, else from their
// logarithms.
Value relative_to(const Value &a, const Value &b)
{
    if (a.absent != Absent::none) return a;
    if (b.absent != Absent::none) return b;
    if (const double ratio = a.value / b.value; std::isfinite(ratio)) return finite_or(ratio - 1.0, Absent::overflow);
    const double apart = log_of(a) - log_of(b);
    return sized(std::expm1(apart), apart);
}

// a/b of two energies, also where it is below the least double or past the largest.
Value ratio_to(const Value &a, const Value &b)
{
    if (a.absent != Absent::none) return a;
    if (b.absent != Absent::none) return b;
    if (const double ratio = a.value / b.value; std::isnormal(ratio) || a.value == 0.0) return of(ratio);
    const double apart = log_of(a) - log_of(b);
    return sized(std::exp(apart), apart);
}

// ln|a - b| of two energies that exist.
double log_apart(const Value &a, const Value &b)
{
    const double top = std::max(log_of(a), log_of(b));
    return top + std::log(std::fabs(std::exp(log_of(a) - top) - std::exp(log_of(b) - top)));
}

// The energy's classification, from what the step does to the modes (the rows' end E/E0 - 1
// is held against the predicted one once they are read).
void classify(const Setup &setup, EnergyFinding &found)
{
    using Kind = EnergyFinding::Kind;
    using Cause = EnergyFinding::Cause;
    using Kept = EnergyFinding::Kept;
    const Motion &m = setup.motion;
    found.factor = found.predicted = missing(Absent::not_free_undamped);
    const ModeGrowth g = mode_growth(m, setup.h, setup.steps);
    const auto growing = [&](Cause cause) {
        found.kind = Kind::growing;
        found.cause = cause;
        found.log_step_gain = 2 * g.log_growth;
    };
    const auto kept = [&](Kept why) {
        found.kind = Kind::kept;
        found.why_kept = why;
    };
    if (setup.h == 0.0) {
        kept(Kept::still);
    } else if (driven(m)) {
        if (g.unstable) growing(Cause::unstable_step);
        else if (setup.h < 0.0) growing(Cause::backward);
        else found.kind = Kind::forced;
    } else if (found.from_rest) {
        kept(Kept::at_rest);
    } else if (m.beta == 0.0 && m.w0 == 0.0) {
        kept(Kept::no_spring);
    } else if (m.beta == 0.0) {
        // The factor a step from the method's polynomial, raised to the steps in logarithms:
        // no digit of a factor near 1 is lost to rounding.
        found.drift = programs_method.energy_drift(found.z);
        found.factor = of(1.0 + found.drift);
        const double log_gain = setup.steps * std::log1p(found.drift);
        found.predicted = sized(std::expm1(log_gain), log_gain);
        found.double_rounding = double_rounding(setup.steps, resolution(m));
        if (found.drift > 0.0) growing(Cause::unstable_step);
        else if (std::fabs(found.predicted.value) <= found.double_rounding) kept(Kept::rounding);
        else found.kind = Kind::drifting;
    } else if (g.unstable) {
        growing(Cause::unstable_step);
    } else {
        if (m.beta > 0.0) found.kind = Kind::decaying;
        else growing(Cause::negative_damping);
    }
    found.logarithmic = found.kind == Kind::decaying || found.kind == Kind::growing;
}

} // namespace

std::string find_energy(const Source &source, EnergyFinding &found)
{
    const Setup &setup = source.setup;
    const Motion &m = setup.motion;
    const ExactMotion exact = exact_motion(m);
    found = {};
    const ScaledEnergy energy_of(m);
    const Value start = energy_of(m.x0, m.v0); // as every energy below, times 4^k
    const Value shown_start = energy_of.unscaled(start);
    found.start = shown_start.value;
    found.start_log = shown_start.log;
    found.from_rest = start.value == 0.0;
    found.steps = setup.steps;
    found.z = setup.h * m.w0;
    classify(setup, found);
    const bool at_rest_start = found.from_rest;
    // Free and undamped, the exact energy is E0 all along.
    const bool kept_exactly = m.beta == 0.0 && !driven(m);
    const auto relative = [&](const Value &e) {
        return at_rest_start ? missing(Absent::energy_at_rest) : relative_to(e, start);
    };
    // What the figure draws: E itself where E0 = 0, else E/E0 on a log scale or E/E0 - 1.
    const double unit = at_rest_start ? 1.0 : start.value;
    const double shift = at_rest_start || found.logarithmic ? 0.0 : 1.0;
    const bool envelope = found.kind == EnergyFinding::Kind::decaying && m.beta < m.w0;
    Shown shown(static_cast<std::size_t>(setup.rows));
    TimeThinning series = thinning_of(setup);
    TimeThinning apart_series = thinning_of(setup);
    double apart = 0.0;
    double apart_log = -HUGE_VAL; // of the rows whose energies pass the largest double
    double largest_exact = 0.0;
    double spreads[2] = {0.0, 0.0}; // from a file: E's spread by the digits, first and last rows
    std::size_t i = 0;
    const auto take = [&](const Row &r) {
        const State s = exact_state(exact, r.t);
        // Each energy from its own state, never E0·(1 + E/E0 - 1): no digit below E0's is lost.
        const Value e = energy_of(r.x, r.v);
        const Value e_exact = kept_exactly ? start : energy_of(s.x, s.v);
        const Value rel = relative(e);
        const Value rel_exact = relative(e_exact);
        if (found.rows.from_file)
            spreads[i == 0 ? 0 : 1] =
                energy_of.spread(r.x, r.v, found.rows.rounding, rounding(found.rows.writing[2], r.v));
        if (shown(i++)) found.shown.push_back({r.t, energy_of.unscaled(e), energy_of.unscaled(e_exact), rel, rel_exact});
        if (std::isfinite(e.value - e_exact.value)) apart = std::max(apart, std::fabs(e.value - e_exact.value));
        else if (e.absent == Absent::none && e_exact.absent == Absent::none)
            apart_log = std::max(apart_log, log_apart(e, e_exact));
        if (std::isfinite(e_exact.value)) largest_exact = std::max(largest_exact, e_exact.value);
        found.end_t = r.t;
        found.end_e = energy_of.unscaled(e);
        found.end_exact = energy_of.unscaled(e_exact);
        found.end_rel = rel;
        found.end_rel_exact = rel_exact;
        found.end_ratio = ratio_to(e, start);
        found.end_ratio_exact = ratio_to(e_exact, start);
        const Row drawn{r.t, e.value / unit - shift, e_exact.value / unit - shift};
        if (finite(drawn)) {
            series.take(drawn);
            apart_series.take({r.t, (e.value - e_exact.value) / unit, 0.0});
        }
    };
    if (std::string why = each_row(source, found.rows, take); !why.empty()) return why;
    found.series = series.rows();
    found.apart_series = apart_series.rows();
    for (Row &r : found.apart_series) r.v = envelope ? std::exp(-2 * m.beta * r.t) : NAN;
    // The share of E0 (from rest, of the largest exact E) by which the energies stray apart.
    const Value scale = at_rest_start ? of(largest_exact) : start;
    const double log_share = std::max(std::log(apart), apart_log) - log_of(scale);
    if (!std::isnan(found.rows.overflow_t)) found.apart = missing(Absent::overflow);
    else if (!(scale.value > 0.0)) found.apart = of(0.0);
    else if (apart_log == -HUGE_VAL && std::isfinite(apart / scale.value)) found.apart = of(apart / scale.value);
    else found.apart = sized(std::exp(log_share), log_share);
    found.agrees = std::fabs(found.end_rel.value - found.predicted.value) <=
                   tolerance * std::fabs(found.predicted.value);
    // A file's E/E0 - 1 that its digits' rounding may make, where the method's predicted is too:
    // what they show is not the method's.
    using Kind = EnergyFinding::Kind;
    found.digits = (spreads[0] + spreads[1]) / start.value;
    const bool predicted = found.kind == Kind::drifting ||
                           (found.kind == Kind::kept && found.why_kept == EnergyFinding::Kept::rounding);
    if (found.rows.from_file && predicted && std::fabs(found.end_rel.value) <= found.digits &&
        std::fabs(found.predicted.value) <= found.digits) {
        found.kind = Kind::kept;
        found.why_kept = EnergyFinding::Kept::digits;
    }
    return "";
}

namespace {

// The rows of the first and the last three periods, as they come; of the whole run where it
// is shorter than six.
class Windows {
public:
    Windows(const Setup &setup, double period)
    {
        // Each window from its earlier time, also where the run goes backward in time.
        const double start = setup.first_t;
        const double end = setup.last_t;
        const double length = std::fabs(end - start);
        w_.two = std::isfinite(period) && 6 * period < length;
        w_.span = w_.two ? 3 * period : length;
        w_.first_from = end >= start ? start : start - w_.span;
        w_.last_from = end >= start ? end - w_.span : end;
        const double rows = w_.span / std::fabs(setup.h) + 1;
        if (std::isfinite(rows) && rows > static_cast<double>(most_dots))
            w_.stride = static_cast<std::size_t>(std::ceil(rows / static_cast<double>(most_dots)));
    }
    void take(const Row &r)
    {
        if (!finite(r)) return;
        keep(r, w_.first_from, first_, w_.first);
        if (w_.two) keep(r, w_.last_from, last_, w_.last);
    }
    MotionWindows done() { return std::move(w_); }

private:
    // Every stride-th row from the window's first on.
    void keep(const Row &r, double from, std::size_t &seen, std::vector<Row> &rows) const
    {
        if (r.t < from || r.t > from + w_.span) return;
        if (seen++ % w_.stride == 0) rows.push_back(r);
    }

    MotionWindows w_;
    std::size_t first_ = 0, last_ = 0; // the rows each window has seen
};

// The time of the exact free motion's second zero after t = 0, x = A·e^(-β·t)·sin(ω·t + φ),
// where A·e^(-β·t) is below the least double by then; NaN where it is not, or x does not
// oscillate or decay.
double zero_past_doubles(const Motion &m)
{
    const double w = 2 * pi / damped_period(m.w0, m.beta);
    if (!(m.beta > 0.0 && w > 0.0 && std::isfinite(w))) return NAN;
    const double c = (m.v0 + m.beta * m.x0) / w;
    const double phase = std::atan2(m.x0, c);
    const double second = ((std::floor(phase / pi) + 2) * pi - phase) / w;
    return std::log(std::hypot(m.x0, c)) - m.beta * second < std::log(DBL_TRUE_MIN) ? second : NAN;
}

} // namespace

std::string find_period(const Source &source, PeriodFinding &found)
{
    using Why = PeriodFinding::Why;
    const Setup &setup = source.setup;
    const Motion &m = setup.motion;
    const ExactMotion exact = exact_motion(m);
    found = {};
    const std::vector<std::complex<double>> zs = step_modes(setup.h, m.w0, m.beta);
    // The oscillator's modes oscillate, also at rest, where nothing moves to show it.
    const bool modes_oscillate = !zs.empty() && zs[0].imag() != 0.0;
    const bool oscillates = !at_rest(m) && modes_oscillate;
    const double period = damped_period(m.w0, m.beta);
    found.kind = oscillates ? PeriodFinding::Kind::defined : PeriodFinding::Kind::absent;
    const bool double_root = zs.size() == 1 && zs[0].imag() == 0.0;
    found.why = at_rest(m) ? Why::at_rest : m.w0 == 0.0 ? Why::no_spring
                : double_root ? Why::critical : Why::overdamped;
    Oscillation o(setup.first_t);
    Windows windows(setup, oscillates ? period : INFINITY);
    const auto take = [&](const Row &r) {
        o.take(r);
        windows.take(r);
    };
    if (std::string why = each_row(source, found.rows, take); !why.empty()) return why;
    found.windows = windows.done();
    found.crossings = o.crossings;
    found.measured = finite_or(o.period(), Absent::few_crossings);
    const ModeGrowth growth = mode_growth(m, setup.h, setup.steps);
    found.unstable = growth.unstable && !at_rest(m);
    found.step_size = growth.size;
    found.limit = growth.stable_limit;
    found.exact = found.method = missing(Absent::no_oscillation);
    if (modes_oscillate) {
        const double turn = std::fabs(rk4_log_factor(zs[0]).imag());
        found.exact = of(period);
        found.method = finite_or(2 * pi * std::fabs(setup.h) / turn, Absent::no_oscillation);
        found.rows_per_period = 2 * pi / turn;
        const double off = std::fabs(found.measured.value / found.method.value - 1);
        found.agrees = off <= tolerance;
        // Off the method's by more than the method is off the exact, by what doubles resolve.
        found.resolution = resolution(m);
        found.by_method = off < std::fabs(found.method.value / period - 1);
        found.rounding = !found.by_method && off <= double_rounding(setup.steps, found.resolution);
    }
    found.unreachable = zero_past_doubles(m);
    // The exact motion's peak nearest each of the rows', within three quarters of a period.
    const double span = oscillates ? 0.75 * period : setup.last_t - setup.first_t;
    const auto peak = [&](double value, double t, Value &computed, Value &exact_x) {
        computed = finite_or(value, Absent::no_peak);
        exact_x = missing(Absent::no_peak);
        if (std::isnan(value)) return;
        const double at = exact_peak_time(exact, t, std::max(setup.first_t, t - span),
                                          std::min(setup.last_t, t + span));
        exact_x = std::isnan(at) ? missing(Absent::exact_no_peak) : of(exact_state(exact, at).x);
    };
    found.first_peak_t = o.first_peak_time;
    found.last_peak_t = o.last_peak_time;
    peak(o.first_peak, o.first_peak_time, found.first_peak, found.first_peak_exact);
    peak(o.last_peak, o.last_peak_time, found.last_peak, found.last_peak_exact);
    return "";
}

std::string find_steady(const Source &source, SteadyFinding &found)
{
    using Kind = SteadyFinding::Kind;
    const Setup &setup = source.setup;
    const Motion &m = setup.motion;
    found = {};
    found.forced_period = 2 * pi / m.wf;
    const std::complex<double> X = steady_amplitude(m);
    found.exact_amplitude = std::abs(X);
    found.exact_phase = std::arg(X);
    found.never = setup.h == 0.0  ? SteadyFinding::Never::still
                  : setup.h < 0.0 ? SteadyFinding::Never::backward
                                  : SteadyFinding::Never::unstable;
    // Below two rows a period of the force, the rows trace a slower oscillation of their own.
    found.rows_per_period = found.forced_period / std::fabs(setup.h);
    if (found.rows_per_period < nyquist_rows)
        found.alias = alias_period(found.forced_period, std::fabs(setup.h));
    const Steady steady = steady_from(setup);
    found.kind = !settles(m, setup.h) ? Kind::never : steady.settled ? Kind::settled : Kind::unsettled;
    found.from = steady.from;
    SteadyFit fit(m.wf, found.from);
    Oscillation o(found.from);
    Windows windows(setup, found.forced_period);
    const auto take = [&](const Row &r) {
        fit.take(r);
        o.take(r);
        windows.take(r);
    };
    if (std::string why = each_row(source, found.rows, take); !why.empty()) return why;
    found.windows = windows.done();
    found.last_peak = o.last_peak;
    found.last_peak_t = o.last_peak_time;
    found.amplitude = found.phase = found.period = found.method_amplitude = found.method_phase =
        missing(Absent::never_settles);
    if (found.kind == Kind::never) return "";
    const std::complex<double> C = fit.amplitude();
    found.amplitude = finite_or(std::abs(C), Absent::no_fit);
    found.phase = finite_or(std::arg(C), Absent::no_fit);
    found.period = finite_or(o.period(), Absent::few_crossings);
    const std::complex<double> Y = rk4_response(m.w0, m.beta, m.f, m.wf, setup.h);
    found.method_amplitude = of(std::abs(Y));
    found.method_phase = of(std::arg(Y));
    if (response_error(m.w0, m.beta, m.wf, setup.h) > tolerance) found.off = std::abs(Y / X);
    return "";
}

namespace {

// A curve's peak as a finding, and where it stands against [low, high]: `amplitude` is the
// curve, `repeat` how often it repeats.
PeakFinding peak_finding(const CurvePeak &peak, double repeat, const std::function<double(double)> &amplitude,
                         double low, double high)
{
    using Kind = PeakFinding::Kind;
    PeakFinding p;
    p.wf = p.height = p.low = p.high = p.width = p.q = missing(Absent::no_peak_falls);
    // Highest at wf = 0, the curve falls from there; no highest point found, it passes the
    // largest double near its peak.
    p.kind = !(peak.wf == 0.0) ? Kind::peak : Kind::falls;
    if (std::isnan(peak.wf)) {
        p.wf = p.height = p.low = p.high = p.width = p.q = missing(Absent::overflow);
        return p;
    }
    if (p.kind == Kind::falls) {
        p.start = amplitude(0.0);
        p.falling_half = peak.high;
        return p;
    }
    p.wf = of(peak.wf);
    p.height = finite_or(peak.height, Absent::overflow);
    p.high = finite_or(peak.high, Absent::no_upper_half);
    p.low = finite_or(peak.low, Absent::no_lower_half);
    const Absent none = p.low.absent != Absent::none ? p.low.absent : p.high.absent;
    p.width = none != Absent::none ? missing(none) : finite_or(peak.width, Absent::overflow);
    p.q = none != Absent::none ? missing(none) : finite_or(peak.wf / peak.width, Absent::overflow);
    p.place = placed(peak.wf, repeat, low, high, amplitude);
    return p;
}

// The exact curve's peak, its width and Q; with β < 0 too, |X| holding β².
PeakFinding exact_resonance(const Motion &m, double low, double high)
{
    using Kind = PeakFinding::Kind;
    const auto amplitude = [&](double wf) { return std::abs(steady_amplitude(driven_at(m, wf))); };
    if (m.w0 > 0.0 && m.beta != 0.0) {
        const CurvePeak peak = exact_peak(m);
        if (!std::isnan(peak.wf)) {
            PeakFinding p = peak_finding(peak, INFINITY, amplitude, low, high);
            // f/(2|β|·sqrt(w0² - β²)) may pass the largest double, and still be a height.
            p.height = sized(peak.height, std::log(m.f) - std::log(2 * std::fabs(m.beta)) -
                                              0.5 * std::log(m.w0 * m.w0 - m.beta * m.beta));
            return p;
        }
        CurvePeak falls;
        falls.wf = 0.0;
        falls.high = falling_half_power(m);
        return peak_finding(falls, INFINITY, amplitude, low, high);
    }
    PeakFinding p;
    p.kind = m.w0 == 0.0 ? Kind::no_spring : Kind::no_damping;
    p.wf = p.height = p.low = p.high = p.width = p.q = missing(m.w0 == 0.0 ? Absent::no_spring : Absent::no_damping);
    return p;
}

// The method's whole curve: its peak over [0, 2π/h], where the rest repeats it.
PeakFinding method_resonance(const Motion &m, double h, double low, double high)
{
    using Kind = PeakFinding::Kind;
    PeakFinding p;
    const bool response = keeps_a_response(m, h);
    p.kind = !response ? Kind::never_settles : m.w0 == 0.0 ? Kind::no_spring : Kind::peak;
    p.wf = p.height = p.low = p.high = p.width = p.q =
        missing(p.kind == Kind::never_settles ? Absent::never_settles : Absent::no_spring);
    if (p.kind != Kind::peak) return p;
    const auto amplitude = [&](double wf) { return std::abs(rk4_response(m.w0, m.beta, m.f, wf, h)); };
    return peak_finding(method_peak(m, h), response_repeat(h), amplitude, low, high);
}

// A frequency the program drives at, measured on its own run from the steady rows.
MeasuredPoint measured_point(const Setup &run, const Motion &m, ResonanceFinding &r)
{
    const double wf = run.motion.wf;
    MeasuredPoint point{wf, {}, {}, of(std::abs(steady_amplitude(driven_at(m, wf)))), {}, {}};
    point.method = settles(m, run.h) ? of(std::abs(rk4_response(m.w0, m.beta, m.f, wf, run.h)))
                                     : missing(Absent::never_settles);
    point.measured = point.gap = point.phase = missing(Absent::never_settles);
    if (run.rows == 0.0) point.measured = point.gap = point.phase = missing(Absent::no_rows);
    if (point.method.absent != Absent::none || run.rows == 0.0) return point;
    const Steady steady = steady_from(run);
    r.short_runs = r.short_runs || !steady.settled;
    SteadyFit fit(wf, steady.from);
    RunRows rows(run, programs_method);
    for (Row row{}; rows.next(row);) fit.take(row);
    point.measured = finite_or(std::abs(fit.amplitude()), Absent::no_fit);
    point.phase = finite_or(std::arg(fit.amplitude()), Absent::no_fit);
    point.gap = finite_or(point.measured.value - point.method.value, Absent::no_fit);
    return point;
}

} // namespace

Range resonance_range(const Setup &setup, double low, double high)
{
    const double w0 = setup.motion.w0;
    return {std::isnan(low) ? 0.0 : low, !std::isnan(high) ? high : w0 > 0.0 ? 3 * w0 : 3.0};
}

ResonanceFinding find_resonance(const Setup &setup, double low, double high)
{
    ResonanceFinding r{};
    Motion m = setup.motion;
    r.per_unit_force = !driven(m);
    if (r.per_unit_force) m.f = 1.0;
    r.h = setup.h;
    const Range range = resonance_range(setup, low, high);
    r.low = range.low;
    r.high = range.high;
    r.grows = m.beta < 0.0;
    r.exact = exact_resonance(m, r.low, r.high);
    r.method = method_resonance(m, setup.h, r.low, r.high);
    r.repeat = response_repeat(setup.h);
    r.turns_back = r.method.kind != PeakFinding::Kind::never_settles && r.high > 0.5 * r.repeat;
    r.textbook_q = m.beta > 0.0 && m.w0 > 0.0 ? of(m.w0 / (2 * m.beta))
                   : missing(m.beta < 0.0 ? Absent::never_settles
                             : m.w0 == 0.0 ? Absent::no_spring : Absent::no_damping);
    const bool method_curve = keeps_a_response(m, setup.h);
    // 400 frequencies evenly, and the peaks shown, where the curves reach their marks.
    std::vector<double> grid;
    grid.reserve(402);
    for (int i = 0; i < 400; ++i) grid.push_back(i == 399 ? r.high : r.low + (r.high - r.low) * i / 399);
    for (const PeakFinding *peak : {&r.exact, &r.method})
        if (peak->kind == PeakFinding::Kind::peak && peak->place.where == Placed::Where::inside &&
            peak->place.at > r.low && peak->place.at < r.high)
            grid.push_back(peak->place.at);
    std::sort(grid.begin(), grid.end());
    for (const double wf : grid) {
        const std::complex<double> X = steady_amplitude(driven_at(m, wf));
        const std::complex<double> Y = method_curve ? rk4_response(m.w0, m.beta, m.f, wf, setup.h)
                                                    : std::complex<double>(NAN, NAN);
        r.wf.push_back(wf);
        r.exact_curve.push_back(std::abs(X));
        r.method_curve.push_back(std::abs(Y));
        r.exact_phase.push_back(std::arg(X));
        r.method_phase.push_back(std::arg(Y));
    }
    // The frequencies the program drives at, each from its own run's steady rows.
    if (setup.program == Program::harmosc) return r;
    const std::vector<double> choices =
        setup.program == Program::drivenosc ? std::vector<double>{1, 2, 3} : std::vector<double>{0};
    double furthest = 0.0;
    for (const double choice : choices) {
        Setup run = setup;
        std::map<std::string, double> values = setup.values;
        if (choice != 0) values["escolha"] = choice;
        if (!make_setup(setup.program, values, run).empty()) continue;
        r.points.push_back(measured_point(run, m, r));
        if (r.points.back().gap.absent == Absent::none)
            furthest = std::max(furthest, std::fabs(r.points.back().gap.value));
    }
    r.furthest = std::any_of(r.points.begin(), r.points.end(),
                             [](const MeasuredPoint &p) { return p.gap.absent == Absent::none; })
                     ? of(furthest)
                     : missing(Absent::never_settles);
    return r;
}

namespace {

// One method on the run: its rows (the first run), then the runs at h/2, h/4 and h/8 to the
// same end, for the observed order. `size` is the motion's, the largest |x_exact| of the rows,
// which the first method finds as it gives the exact rows.
MethodFinding study_method(const Setup &setup, const Method &method, const ExactMotion &exact,
                           TimeThinning *exact_rows, double &size)
{
    const Motion &m = setup.motion;
    MethodFinding found{};
    found.method = &method;
    const ScaledEnergy energy_of(m);
    const double start = energy_of(m.x0, m.v0).value;
    TimeThinning series = thinning_of(setup);
    Row last{0.0, m.x0, m.v0};
    double energy_end = NAN;
    RunRows rows(setup, method);
    for (Row r{}; rows.next(r);) {
        last = r;
        const double e = energy_of(r.x, r.v).value;
        energy_end = e / start - 1;
        // E itself where E0 = 0, as the energy question draws it.
        const double drawn = start == 0.0 ? e : energy_end;
        if (finite(r) && std::isfinite(drawn)) series.take({r.t, r.x, drawn});
        if (exact_rows != nullptr) {
            const double x = exact_state(exact, r.t).x;
            exact_rows->take({r.t, x, 0.0});
            size = std::max(size, std::fabs(x));
        }
    }
    found.series = series.rows();
    for (const Row &r : found.series) found.x_error.push_back(std::fabs(r.x - exact_state(exact, r.t).x));
    const double steps = setup.steps;
    const double z = setup.h * m.w0;
    found.limit = m.w0 > 0.0 ? finite_or(stability_limit(method, 2 * m.beta / m.w0),
                                         m.beta > 0.0 ? Absent::below_resolution : Absent::always_grows)
                             : missing(Absent::no_spring);
    // The order is the method's only from errors that are its own: an error as large as the
    // motion itself is growth or a phase gone round, no longer the step's small error.
    std::vector<Run> &counted = found.counted;
    for (int k = 0; k < 4; ++k) {
        const double h = setup.h / (1 << k);
        const Row end = k == 0 ? last : advance(setup, method, h, steps * (1 << k));
        const double error = end.x - exact_state(exact, end.t).x;
        const double rounding = size * double_rounding(steps * (1 << k), resolution(m));
        found.runs.push_back({h, std::isfinite(error) ? error : NAN, rounding});
        counted.push_back({h, std::fabs(error) < size ? error : NAN, rounding});
    }
    found.verdict = judge(counted);
    found.energy_end = start == 0.0 ? missing(Absent::energy_at_rest)
                                    : finite_or(energy_end, Absent::overflow);
    const double drift = method.energy_drift(z);
    const bool free_undamped = m.beta == 0.0 && !driven(m);
    found.energy_predicted = start == 0.0   ? missing(Absent::energy_at_rest)
                             : !free_undamped ? missing(Absent::not_free_undamped)
                                              : finite_or(std::expm1(steps * std::log1p(drift)), Absent::overflow);
    // A step that keeps the area of the phase plane keeps the energy bounded, oscillating, as
    // long as no eigenvalue of M passes 1: within the stability limit.
    using Energy = MethodFinding::Energy;
    const bool within = found.limit.absent == Absent::none && std::fabs(z) <= found.limit.value;
    found.unstable = !within && z > 0.0 && m.beta >= 0.0 && found.limit.absent != Absent::no_spring;
    found.energy = drift != 0.0 || found.energy_predicted.absent != Absent::none ? Energy::predicted
                   : within                                                       ? Energy::oscillates
                                                                                  : Energy::grows;
    found.period = finite_or(2 * pi * std::fabs(setup.h) / turn(amplification(method, setup.h, m.w0, m.beta)),
                             setup.h == 0.0                              ? Absent::still
                             : std::isfinite(damped_period(m.w0, m.beta)) ? Absent::method_no_turn
                                                                          : Absent::no_oscillation);
    return found;
}

} // namespace

MethodsFinding find_methods(const Setup &setup)
{
    const Motion &m = setup.motion;
    const ExactMotion exact = exact_motion(m);
    MethodsFinding found{};
    found.exact_period_value = damped_period(m.w0, m.beta);
    found.h_w0 = setup.h * m.w0;
    found.backward = setup.h < 0.0;
    found.from_rest = ScaledEnergy(m)(m.x0, m.v0).value == 0.0;
    TimeThinning exact_rows = thinning_of(setup);
    double size = 0.0;
    for (const Method &method : methods)
        found.methods.push_back(
            study_method(setup, method, exact, found.methods.empty() ? &exact_rows : nullptr, size));
    found.exact = exact_rows.rows();
    return found;
}

} // namespace osc

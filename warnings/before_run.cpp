#include "warnings/before_run.hpp"

#include "text/messages.hpp"
#include "warnings/disk_space.hpp"
#include "warnings/motion_warnings.hpp"
#include "warnings/run_error.hpp"
#include "warnings/wording.hpp"

namespace osc {

bool check_before_run(const char *program, const Plan &plan, const std::function<void()> &own)
{
    DiskFinding disk{DiskFinding::Kind::fits, 0.0, 0.0, 0.0};
    if (plan.room && plan.rows > 0.0) {
        disk = plan.index ? disk_finding(*plan.room, plan.rows, {plan.last_n, plan.last_t})
                          : disk_finding(*plan.room, plan.rows, {plan.last_t});
    }
    if (disk.kind == DiskFinding::Kind::cannot_fit) {
        refuse(program, sentence(plan.file, disk));
        return false;
    }

    own();
    const Motion &motion = plan.motion;
    const double h = plan.grid.h;
    if (plan.judge_motion) {
        for (const std::string &said : sentences(step_findings(motion, plan.grid)))
            warn(program, said);
        if (const auto driven = driven_finding(motion, h, plan.t_end, most_steps(plan.grid.step)))
            warn(program, sentence(*driven));
    }
    // Rows that are all 0 show no oscillation to draw.
    if (plan.judge_motion && plan.judge_rows && !at_rest(motion))
        for (const SamplingFinding &rows : sampling_findings(motion, h, plan.t_end))
            warn(program, sentence(rows));
    if (plan.grid.steps >= 1.0)
        if (const auto repeat = repeated_times(h, plan.t_end, plan.index))
            warn(program, sentence(*repeat));
    if (disk.kind == DiskFinding::Kind::may_not_fit || disk.kind == DiskFinding::Kind::large)
        warn(program, sentence(plan.file, disk));
    return true;
}

} // namespace osc

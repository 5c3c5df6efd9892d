#include "process/stepper_run.hpp"

#include "dataformat/row_text.hpp"
#include "programs/rkstepper_definition.hpp"

#include <algorithm>

#include <unistd.h>

namespace osc {

Limits student_limits(double rows)
{
    const double most = (1U << 20U) + 4 * rows * static_cast<double>(row_room(3));
    return {10, 1ULL << 30U, static_cast<unsigned long long>(std::min(most, 0x1p62))};
}

std::string run_stepper(const WorkDirectory &work, const std::string &program,
                        const std::string &parameters, const Limits &limits, Finished &finished)
{
    const Layout &layout = rkstepper::layout;
    if (std::string why = work.write(layout.parameters, parameters); !why.empty()) return why;
    ::unlink(work.file(layout.files[0]).c_str());
    finished = run_program(program, {}, work.path(), Output::merged, {}, {}, limits);
    return "";
}

} // namespace osc

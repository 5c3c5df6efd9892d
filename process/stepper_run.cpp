#include "process/stepper_run.hpp"

#include "programs/rkstepper.hpp"

#include <unistd.h>

namespace osc {

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

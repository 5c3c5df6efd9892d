#include "programs/programs.hpp"

namespace osc {

const Layout *layout_of_file(std::string_view path)
{
    const std::string_view name = path.substr(path.rfind('/') + 1);
    for (const Layout *layout : layouts)
        for (const char *file : layout->files)
            if (file != nullptr && name == file) return layout;
    return nullptr;
}

} // namespace osc

#include "oscstudy/verify.hpp"

#include "process/stepper_run.hpp"
#include "process/work_directory.hpp"
#include "programs/rkstepper.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace osc {

std::size_t VerifyFinding::passed() const
{
    return static_cast<std::size_t>(
        std::count_if(items.begin(), items.end(), [](const Checked &item) {
            return item.ran_well && item.check.judgement == Judgement::rk4;
        }));
}

namespace {

namespace fs = std::filesystem;

// The files of `folder` by name, hidden ones aside, as one group, and each folder in it as
// groups of its own, after them.
void collect(const fs::path &folder, std::vector<std::vector<std::string>> &groups)
{
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().front() == '.') continue;
        // A link to a folder is not followed: it may lead back up.
        const bool folder = it->is_directory(error) && !it->is_symlink(error);
        (folder ? folders : files).push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    groups.emplace_back();
    for (const fs::path &file : files) groups.back().push_back(file.string());
    for (const fs::path &inner : folders) collect(inner, groups);
}

// The run of the program for `values`, as make_setup gives it, with drivenosc's escolha taken
// from a file's name where none is given.
std::string setup_for(const VerifyRequest &request, const std::string &file, Setup &setup,
                      Checked &item)
{
    std::map<std::string, double> values = request.given;
    if (request.program == Program::drivenosc && values.count("escolha") == 0) {
        item.choice = choice_of_file(file);
        item.choice_named = item.choice != 0;
        if (item.choice_named) values["escolha"] = item.choice;
    }
    std::string why = make_setup(request.program, values, setup);
    if (request.program == Program::drivenosc)
        item.choice = static_cast<int>(setup.values.at("escolha"));
    return why;
}

bool start_given(const VerifyRequest &request)
{
    return request.given.count("x0") != 0 || request.given.count("v0") != 0;
}

// What the bounds let a run of a student's program do, and whether it did only that.
bool ran_well(const Finished &run)
{
    return run.start == Start::done && !run.overflowed && !run.timed_out && run.signal == 0 &&
           run.status == 0;
}

// The runs of a student's program at h, h/2, h/4 and h/8, each judged, until one goes wrong.
std::string run_students_program(const VerifyRequest &request, VerifyFinding &found,
                                 std::size_t group)
{
    std::error_code error;
    const std::string program = fs::absolute(request.student_program, error).string();
    if (error || ::access(program.c_str(), X_OK) != 0 || fs::is_directory(program, error))
        return "programa=" + escaped(request.student_program) +
               ": não é um programa que se possa executar";
    const Layout &layout = rkstepper::layout;
    WorkDirectory work;
    if (std::string why =
            work.create(temporary_base(), "oscstudy", {layout.parameters, layout.files[0]});
        !why.empty())
        return "não é possível criar um diretório temporário em " + about(temporary_base(), why);
    std::map<std::string, double> values = request.given;
    values.emplace("h", program_h);
    values.emplace("N", program_steps);
    for (int halvings = 0; halvings < 4; ++halvings) {
        const double scale = std::ldexp(1.0, halvings);
        std::map<std::string, double> run_values = values;
        run_values["h"] = values["h"] / scale;
        run_values["N"] = values["N"] * scale;
        Checked item;
        item.name = request.student_program;
        item.group = group;
        Setup setup;
        if (std::string why = make_setup(Program::rkstepper, run_values, setup); !why.empty())
            return why;
        item.run_h = setup.h;
        Limits limits = student_limits(setup.rows);
        if (request.seconds > 0) limits.seconds = request.seconds;
        item.file_bound = limits.file_size;
        const std::string parameters = format("%.17g %.17g %.0f %.17g\n", setup.motion.x0,
                                              setup.motion.v0, setup.values.at("N"), setup.h);
        if (std::string why = run_stepper(work, program, parameters, limits, item.finished);
            !why.empty())
            return "não é possível escrever " + std::string(layout.parameters) +
                   " no diretório temporário " + about(work.path(), why);
        // A program that writes its file without end stops at the bound on a file's size,
        // whether the signal ends it or a shell in between says so in its status.
        std::error_code unknown;
        const auto size = fs::file_size(work.file(layout.files[0]), unknown);
        item.file_full = !unknown && size >= limits.file_size;
        item.no_file = unknown && ran_well(item.finished);
        item.ran_well = ran_well(item.finished) && !item.file_full && !item.no_file;
        if (item.ran_well)
            item.check =
                check_file(work.file(layout.files[0]), {setup.acceleration, setup.motion, true});
        found.items.push_back(item);
        if (!item.ran_well) break;
    }
    return "";
}

// The ladders of steps within each group, and the order each gives its files.
void find_ladders(VerifyFinding &found)
{
    std::size_t groups = 0;
    for (const Checked &item : found.items) groups = std::max(groups, item.group + 1);
    for (std::size_t group = 0; group < groups; ++group) {
        std::vector<std::size_t> members;
        std::vector<FileCheck> checks;
        for (std::size_t i = 0; i < found.items.size(); ++i) {
            if (found.items[i].group != group || !found.items[i].ran_well) continue;
            members.push_back(i);
            checks.push_back(found.items[i].check);
        }
        for (Ladder ladder : ladders(checks)) {
            for (std::size_t &file : ladder.files) {
                file = members[file];
                const Outcome outcome = ladder.verdict.outcome;
                if (outcome == Outcome::settled || outcome == Outcome::unsettled)
                    found.items[file].order = ladder.verdict.order;
            }
            found.ladders.push_back(ladder);
        }
    }
}

} // namespace

std::string verify(const VerifyRequest &request, VerifyFinding &found)
{
    found = {};
    std::vector<std::vector<std::string>> groups(1); // the files named one by one first
    for (const std::string &path : request.paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) collect(path, groups);
        else groups.front().push_back(path);
    }
    for (std::size_t group = 0; group < groups.size(); ++group)
        for (const std::string &file : groups[group]) {
            Checked item;
            item.name = file;
            item.group = group;
            Setup setup;
            if (std::string why = setup_for(request, file, setup, item); !why.empty()) return why;
            item.check = check_file(file, {setup.acceleration, setup.motion, start_given(request)});
            found.items.push_back(item);
        }
    if (found.items.empty() && request.student_program.empty())
        return "não há nenhum ficheiro a verificar em " + escaped(request.paths.front(), 120);
    found.program_given = !request.student_program.empty();
    found.program = request.student_program;
    if (found.program_given)
        if (std::string why = run_students_program(request, found, groups.size()); !why.empty())
            return why;
    find_ladders(found);
    return "";
}

} // namespace osc

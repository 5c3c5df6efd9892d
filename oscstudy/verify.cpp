#include "oscstudy/verify.hpp"

#include "process/stepper_run.hpp"
#include "process/work_directory.hpp"
#include "programs/rkstepper_definition.hpp"
#include "text/format.hpp"
#include "text/messages.hpp"

#include "disk/png.hpp"
#include "figures/figure.hpp"
#include "oscstudy/wording.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <sys/stat.h>
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

// Why `file` is one of the tools' own files, never judged: the table this run writes, a table
// of verificar, a figure or a figure's tables; or false.
bool own_file(const std::string &file, const std::string &csv, Skipped::Why &why)
{
    std::error_code error;
    if (!csv.empty() && (fs::equivalent(file, csv, error) ||
                         fs::absolute(file, error).lexically_normal() ==
                             fs::absolute(csv, error).lexically_normal())) {
        why = Skipped::Why::table;
        return true;
    }
    why = Skipped::Why::own;
    if (!fs::is_regular_file(file, error) || fs::is_empty(file, error)) return false;
    const char *const name = file.c_str();
    return why_table_not_replaceable(name, verify_csv_signature, "").empty() ||
           why_not_replaceable(name).empty() || why_table_not_replaceable(name).empty();
}

// The files of `folder` by name, hidden ones and the tools' own aside, as one group, and each
// folder in it as groups of its own, after them; a link to a folder is not followed.
void collect(const fs::path &folder, const std::string &csv,
             std::vector<std::vector<std::string>> &groups, std::vector<Skipped> &skipped)
{
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename().string().front() == '.') continue;
        std::error_code unknown;
        const bool folder = it->is_directory(unknown);
        if (folder && it->is_symlink(unknown)) skipped.push_back({it->path().string(), Skipped::Why::folder_link});
        else (folder ? folders : files).push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    groups.emplace_back();
    for (const fs::path &file : files) {
        Skipped::Why why{};
        if (own_file(file.string(), csv, why)) skipped.push_back({file.string(), why});
        else groups.back().push_back(file.string());
    }
    for (const fs::path &inner : folders) collect(inner, csv, groups, skipped);
}

// `file` judged against the run of `request`; drivenosc's escolha, where none is given, from
// the file's name or else from its rows, and where one is given, the rows of another said.
std::string judge_file(const VerifyRequest &request, const std::string &file, Checked &item)
{
    std::map<std::string, double> values = request.given;
    const bool driven = request.program == Program::drivenosc;
    const bool choice_given = request.given.count("escolha") != 0;
    if (driven && !choice_given) {
        item.choice = choice_of_file(file);
        item.choice_named = item.choice != 0;
        if (item.choice_named) values["escolha"] = item.choice;
    }
    Setup setup;
    if (std::string why = make_setup(request.program, values, setup); !why.empty()) return why;
    item.check = check_file(file, equation_of(setup, request.given));
    if (driven) item.choice = static_cast<int>(setup.values.at("escolha"));
    const Judgement judged = item.check.judgement;
    const bool rows = judged != Judgement::unreadable && judged != Judgement::being_written &&
                      judged != Judgement::times;
    if (!driven || !rows || item.choice_named) return "";
    item.choice_from_rows = !choice_given && item.check.rk4_matched();
    if (item.check.rk4_matched()) return "";
    values["escolha"] = item.choice;
    ChoiceFound other = choice_of_rows(values, request.given, file, choice_given);
    if (other.choice == 0) return "";
    item.given_choice = choice_given ? item.choice : 0;
    item.choice_from_rows = !choice_given;
    item.choice = other.choice;
    item.check = std::move(other.check);
    if (choice_given) item.check.judgement = Judgement::other_constants;
    return "";
}

// What the bounds let a run of a student's program do, and whether it did only that.
bool ran_well(const Finished &run)
{
    return run.start == Start::done && !run.overflowed && !run.timed_out && run.signal == 0 &&
           run.status == 0 && run.left_running == 0;
}

// How the data file `file` came to be there, a run that began at `since` having left it.
Origin origin_of(const std::string &file, std::chrono::system_clock::time_point since)
{
    struct stat status {};
    if (::lstat(file.c_str(), &status) != 0) return Origin::written;
    if (S_ISLNK(status.st_mode) || status.st_nlink > 1) return Origin::link;
    // A file's times are the kernel's coarse clock, behind the fine one by a tick or so.
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(status.st_mtim.tv_sec) +
            std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    return written < since - std::chrono::seconds(1) ? Origin::older : Origin::written;
}

// The program a script's first line "#!" names, as written there (a CR at its end included),
// or "".
std::string interpreter_of(const std::string &program)
{
    std::ifstream in(program, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line.rfind("#!", 0) != 0) return "";
    const std::size_t start = line.find_first_not_of(' ', 2);
    return start == std::string::npos ? "" : line.substr(start, line.find(' ', start) - start);
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
    std::map<std::string, double> values = request.given;
    values.emplace("h", program_h);
    values.emplace("N", program_steps);
    if (values.at("N") < 2 || values.at("h") == 0.0)
        return format("N = %s e h = %s: o programa= corre com N >= 2 e h diferente de 0, pois "
                      "com menos de duas linhas, ou sem passo, não há nada a verificar",
                      text(values.at("N")).c_str(), text(values.at("h")).c_str());
    const Layout &layout = rkstepper::layout;
    WorkDirectory work;
    if (std::string why =
            work.create(temporary_base(), "oscstudy", {layout.parameters, layout.files[0]});
        !why.empty())
        return "não é possível criar um diretório temporário em " + about(temporary_base(), why);
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
        const auto since = std::chrono::system_clock::now();
        if (std::string why = run_stepper(work, program, parameters, limits, item.finished);
            !why.empty())
            return "não é possível escrever " + std::string(layout.parameters) +
                   " no diretório temporário " + about(work.path(), why);
        // A script whose interpreter is missing cannot be started for want of it.
        if (item.finished.start == Start::no_program && item.finished.error == ENOENT)
            item.interpreter = interpreter_of(program);
        // A program that writes its file without end stops at the bound on a file's size,
        // whether the signal ends it or a shell in between says so in its status.
        const std::string data = work.file(layout.files[0]);
        std::error_code unknown;
        const auto size = fs::file_size(data, unknown);
        item.file_full = !unknown && size >= limits.file_size;
        item.no_file = unknown && ran_well(item.finished);
        item.origin = origin_of(data, since);
        item.ran_well = ran_well(item.finished) && !item.file_full && !item.no_file &&
                        item.origin == Origin::written;
        // It was given every name: its file holds them all.
        for (const Name &name : names_of(Program::rkstepper))
            run_values[name.name] = setup.values.at(name.name);
        if (item.ran_well) item.check = check_file(data, equation_of(setup, run_values));
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
                found.items[file].order_settled = outcome == Outcome::settled;
            }
            found.ladders.push_back(ladder);
        }
    }
}

} // namespace

std::string verify(const VerifyRequest &request, VerifyFinding &found)
{
    found = {};
    // The run the files are checked against, refused as the other questions refuse it.
    Setup run;
    if (std::string why = make_setup(request.program, request.given, run); !why.empty())
        return why;
    if (run.rows == 0.0 && request.student_program.empty()) {
        check_run("oscstudy", run); // the program's own word on why
        return "esta execução não dá nenhuma linha: nada com que comparar os ficheiros";
    }
    std::vector<std::vector<std::string>> groups(1); // the files named one by one first
    for (const std::string &path : request.paths) {
        std::error_code error;
        Skipped::Why why{};
        if (fs::is_directory(path, error)) collect(path, request.csv, groups, found.skipped);
        else if (own_file(path, request.csv, why)) found.skipped.push_back({path, why});
        else groups.front().push_back(path);
    }
    for (std::size_t group = 0; group < groups.size(); ++group)
        for (const std::string &file : groups[group]) {
            Checked item;
            item.name = file;
            item.group = group;
            if (std::string why = judge_file(request, file, item); !why.empty()) return why;
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

// oscorder measures the order of rkstepper's method from runs of its own, away from the
// user's files.

#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(Oscorder, FindsFourthOrderAndLeavesTheCurrentDirectoryAlone)
{
    Sandbox box;
    box.write("parametros_sistema.txt", "earlier parameters\n");
    box.write("RK_generico_1b.txt", "earlier results\n");
    std::filesystem::create_directory(box.path("tmp"));
    const RunResult run = box.run_command(
        {"/usr/bin/env", "TMPDIR=" + box.path("tmp").string(), OSCORDER});
    ASSERT_EQ(run.status, 0) << run.err;

    // A title, the column heads, one row per step, and the verdict.
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 7u) << run.out;
    const std::string verdict = "ordem observada: ";
    ASSERT_EQ(lines.back().rfind(verdict, 0), 0u) << run.out;
    const double order = std::stod(lines.back().substr(verdict.size()));
    EXPECT_GE(order, 3.8) << run.out;
    EXPECT_LE(order, 4.2) << run.out;

    EXPECT_EQ(box.read("parametros_sistema.txt"), "earlier parameters\n");
    EXPECT_EQ(box.read("RK_generico_1b.txt"), "earlier results\n");
    EXPECT_TRUE(std::filesystem::is_empty(box.path("tmp"))) << "its own directory is removed";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(box.dir()),
                            std::filesystem::directory_iterator()),
              3);
}

} // namespace

// The data-file format in-process: each file's bytes judged by the reader read in one go, in
// pieces of a few bytes (lines cut across pieces, lines longer than a piece) and in two halves
// cut at every line end, which must all agree.

#include "dataformat/rows.hpp"
#include "sandbox.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using osc::RowsFault;

TEST(DataFormat, JudgesEachFileAlikeInOneGoInPiecesAndInHalves)
{
    struct Case {
        const char *what;
        std::string bytes;
        RowsFault fault;
        std::size_t rows = 0;
        osc::Columns columns = osc::Columns::t_x_v;
    };
    const auto n_t_x_v = osc::Columns::n_t_x_v;
    const std::string pad(osc::longest_line - 6, ' ');
    const Case cases[] = {
        {"t x v", "0 1 0\n0.1 0.995 -0.0998\n", RowsFault::none, 2},
        {"n t x v", "0 0 1 0\n1 0.05 0.99 -0.05\n2 0.1 0.98 -0.1\n", RowsFault::none, 3, n_t_x_v},
        // n = t/h past a million, both to six digits: 1234565 to 1234568 steps of 0.37.
        {"n t x v in six digits", "1.23457e+06 456789 0 0\n1.23457e+06 456789 0 0\n"
                                  "1.23457e+06 456790 0 0\n1.23457e+06 456790 0 0\n", RowsFault::none, 4, n_t_x_v},
        {"the tail of an n t x v", "40 2 0 0\n41 2.05 0 0\n", RowsFault::none, 2, n_t_x_v},
        // h = 0.10000049 in six digits: t = 0.1, then 0.200001, off 2·0.1 by 5e-6 of itself.
        {"t off n·h by six digits", "0 0 1 0\n1 0.1 1 0\n2 0.200001 1 0\n", RowsFault::none, 3,
         n_t_x_v},
        {"a byte-order mark", "\xEF\xBB\xBF" "0 1 0\n0.1 1 0\n", RowsFault::none, 2},
        {"blank lines at the end", "0 1 0\n0.1 1 0\n\n \r\n", RowsFault::none, 2},
        {"no newline at the end", "0 1 0\n0.1 1 0", RowsFault::none, 2},
        {"the longest line", "0 1 0 " + pad + "\n0.1 1 0\n", RowsFault::none, 2},
        {"a line longer", "0 1 0  " + pad + "\n0.1 1 0\n", RowsFault::not_rows},
        {"no line end at all", std::string(3 * osc::longest_line, '\0'), RowsFault::not_rows},
        {"t x v E", "0 1 0 0.5\n0.1 0.995 -0.0998 0.5\n", RowsFault::not_step_index},
        {"t x v E with h = 1", "0 1 0 0.5\n1 0.54 -0.84 0.5\n", RowsFault::not_step_index},
        {"t x v E with h = 1, x0 = 0", "0 0 1 0.5\n1 0.84 0.54 0.5\n2 0.91 -0.42 0.5\n",
         RowsFault::not_step_index},
        {"a count that skips", "0 0 1 0\n1 0.1 1 0\n3 0.3 1 0\n", RowsFault::not_step_index},
        {"a first count not whole", "0.5 0.05 1 0\n1.5 0.15 1 0\n", RowsFault::not_step_index},
        {"a blank line among rows", "0 1 0\n\n0.1 1 0\n", RowsFault::not_rows},
        {"blank lines only", "\n \n", RowsFault::not_rows},
        {"three numbers, then four", "0 1 0\n0 0 1 0\n", RowsFault::not_rows},
        {"one row", "0 1 0\n", RowsFault::one_line, 1},
        {"nan or inf in every row", "0 nan 0\n0.1 1 inf\n", RowsFault::no_finite_row},
        {"one finite row", "0 1 0\n0.1 nan nan\n", RowsFault::one_finite_row, 1},
    };
    Sandbox box;
    const std::string file = box.path("d.dat").string();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        box.write("d.dat", c.bytes);
        std::vector<osc::Row> rows;
        EXPECT_EQ(osc::read_rows(file, rows), osc::said({c.fault}));
        EXPECT_EQ(rows.size(), c.rows);
        osc::DataSource source;
        ASSERT_EQ(source.open(file), "");
        std::vector<off_t> cuts = {source.start()};
        for (std::size_t end = c.bytes.find('\n'); end != std::string::npos; end = c.bytes.find('\n', end + 1))
            cuts.push_back(static_cast<off_t>(end + 1));
        for (const off_t cut : cuts) {
            osc::RowsPart first;
            osc::RowsPart second;
            source.read(source.start(), cut, first, 0, 7);
            source.read(cut, -1, second, 0, 7);
            rows.clear();
            const osc::RowsFinding finding = osc::joined(first, second, rows);
            EXPECT_EQ(finding.fault, c.fault) << "cut at " << cut;
            if (c.fault == RowsFault::none) {
                EXPECT_EQ(finding.columns, c.columns) << "cut at " << cut;
            }
            EXPECT_EQ(rows.size(), c.rows) << "cut at " << cut;
        }
    }
    std::vector<osc::Row> rows;
    EXPECT_EQ(osc::read_rows(box.path("none").string(), rows), "ficheiro ou diretório inexistente");
}

} // namespace

// The offsets table must import into a spreadsheet as it stands: quoting that survives any text
// the tables put in a cell, and one row of equal width per field of the block.
#include "tools/offsets_doc/offsets_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/offsets_doc/csv_line.h"

namespace {

using Cells = std::vector<std::string>;

// Reads comma-separated rows the way a spreadsheet does: quoted cells may hold commas, doubled
// quotes and line breaks.
std::vector<Cells> ParseCsv(const std::string& text) {
    std::vector<Cells> rows(1, Cells(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            rows.back().back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            rows.back().emplace_back();
        } else if (!quoted && c == '\n') {
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    rows.pop_back();  // after the last line end
    return rows;
}

TEST(OffsetsCsv, CellsComeBackAsWritten) {
    const Cells cells = {"plain", "", "a, b", "say \"on\"", "two\nlines", "\"", "0x9400"};
    EXPECT_EQ(CsvLine(cells),
              "plain,,\"a, b\",\"say \"\"on\"\"\",\"two\nlines\",\"\"\"\",0x9400\n");
    EXPECT_EQ(ParseCsv(CsvLine(cells)), std::vector<Cells>{cells});
}

TEST(OffsetsCsv, OneRowOfEqualWidthPerFieldInAscendingOffset) {
    const std::vector<Cells> rows = ParseCsv(OffsetsCsv());
    ASSERT_EQ(rows.size(), 1u + 1 + 37 + 33 + 100 + 8);  // header, mailbox, flags, displays...
    EXPECT_EQ(rows[0][0], "Offset");
    unsigned nextFree = 0x9400;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const Cells& row = rows[i];
        ASSERT_EQ(row.size(), rows[0].size()) << "row " << i;
        const unsigned offset = std::stoul(row[0], nullptr, 16);
        EXPECT_GE(offset, nextFree) << row[0];  // no two fields share a byte
        nextFree = offset + std::stoul(row[1]);
    }
    EXPECT_EQ(nextFree, 0x94F8u);
}

}  // namespace

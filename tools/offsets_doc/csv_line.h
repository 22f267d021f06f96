// Lines of comma-separated values that a spreadsheet imports as they stand: a field holding a
// comma, a double quote or a line break is quoted, its quotes doubled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string CsvField(std::string_view text);

// The fields, each as CsvField gives it, joined by commas and ended by "\n".
std::string CsvLine(const std::vector<std::string>& fields);

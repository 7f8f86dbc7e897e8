#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Prints rows as columns aligned with blanks; an empty cell shows as "-" so
// every row splits into the same number of fields.
void PrintAlignedTable(FILE* out, const std::vector<std::vector<std::string>>& rows);

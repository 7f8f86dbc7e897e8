#pragma once
#include <string>
#include <vector>

class MainDialog;

// Selects the card-list rows named "BUS:SLOT" (as the list shows them) as one
// click would; with no names every listed board stays selected. Throws
// UsageError for a name that is malformed or not in the list.
void SelectBoards(MainDialog& dialog, const std::vector<std::string>& boards);

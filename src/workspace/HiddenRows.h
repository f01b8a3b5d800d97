#pragma once
// Commands on ticked, duplicate or failed rows while the filter hides some of them: the user is
// told how many hidden rows the command would change before it changes them.

#include <cstddef>
#include <string>
#include <vector>

namespace vorlith {

class Workspace;

// Per table row: the filter shows it. Every row while no filter is set.
std::vector<bool> ShownMask(const Workspace& ws);
// How many of the marked rows the filter hides.
std::size_t HiddenAmong(const std::vector<bool>& marked, const std::vector<bool>& shown);

std::string HiddenTickedQuestion(std::size_t hidden, std::size_t shown);
std::string HiddenDuplicatesQuestion(std::size_t rows, std::size_t hidden);
std::string HiddenFailedQuestion(std::size_t rows, std::size_t hidden);

// The question when some of the marked rows are hidden (OK/Cancel); true to go on, and true at
// once when none is hidden. question(rows, hidden) makes its text.
bool AgreeToHiddenRows(Workspace& ws, const std::vector<bool>& marked,
                       std::string (*question)(std::size_t, std::size_t));

} // namespace vorlith

// What gfix reported, in the operator's words: its summary of validation
// errors ("Number of record level errors : 1", ...) and a file it found
// corrupt, as one Vietnamese log line, so the operator knows before any box
// that the database is physically damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line for the log, or nothing when gfix reported no damage. A pass that
// ended with an error of its own (an I/O error on a page past the end of the
// file) could not look at the whole database: that counts as damage too, and
// so does one that ended badly without a word (killed, crashed), whose
// effect on the file nobody knows.
std::string SummariseGfix(const std::string& pass, const std::vector<std::string>& output, std::uint32_t exitCode = 0);

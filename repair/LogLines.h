// A log text's lines: a text breaks at CR LF, a lone CR and a lone LF alike,
// as the window's log shows it.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> LogLines(const std::string& text);

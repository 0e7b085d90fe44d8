// The first count characters (code points) of a text, or all of it.
#pragma once

#include <cstddef>
#include <string>

std::string LeadingChars(const std::string& text, std::size_t count);

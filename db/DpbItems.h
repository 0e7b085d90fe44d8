// The names of Firebird's database parameter buffer items, by tag.
#pragma once

#include <string>

// The tag of an item name (lower case, without "isc_dpb_"), or 0.
int DpbTagOf(const std::string& name);

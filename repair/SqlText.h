// Names and values written into SQL texts the repair makes itself.
#pragma once

#include <string>

// "NAME" with inner double quotes doubled: any table or index name as is.
std::string QuotedIdentifier(const std::string& name);
// 'text' with inner single quotes doubled.
std::string QuotedLiteral(const std::string& text);

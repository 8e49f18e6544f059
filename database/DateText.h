#pragma once

#include "DateTime.h"

#include <optional>
#include <string_view>

// Reads a date column's text: ISO 'YYYY-MM-DD', optionally followed by a time ' HH:MM[:SS[.fff]]'
// or 'THH:MM...'. Empty or all-blank text is the empty date, 0. Anything else, including an
// impossible day such as 2023-02-30, gives nullopt.
std::optional<TDateTime> ParseDateText(std::string_view text);

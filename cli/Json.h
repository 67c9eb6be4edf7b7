// The little JSON the get command writes.
#pragma once

#include <string>
#include <string_view>

namespace Pictavo::Cli {

// A JSON string literal: quotes, backslashes and control characters escaped,
// other characters kept as UTF-8 (invalid bytes become U+FFFD).
std::string JsonQuote(std::string_view text);

} // namespace Pictavo::Cli

#pragma once

#include <string>
#include <string_view>

namespace app {

// Input from a script or the command line, as an error line quotes it: in double quotes,
// at most its first 80 characters (then "…"), control characters and bytes that are not
// UTF-8 written as \xNN, so that a binary or huge line cannot flood or garble a terminal.
std::string quotedInput(std::string_view text);

// The same escaping for a whole message, without quotes, shortened to `characters`.
std::string printable(std::string_view text, std::size_t characters);

}  // namespace app

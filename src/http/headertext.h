#pragma once
// What every reader of HTTP header text here needs: optional white space (spaces and tabs)
// around a value, and names and tokens compared without regard to ASCII case.

#include <string_view>

namespace tarnbell::http {

std::string_view trimmed(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace tarnbell::http

#pragma once

#include <string>
#include <string_view>

namespace kx::board::win {

// Windows speaks UTF-16; the core keeps UTF-8 text.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace kx::board::win

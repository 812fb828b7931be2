#pragma once

#include <string>

#include "board/win/link_dll.h"

namespace kx::board::win {

// What the operator should do about a link library that Windows refused
// with `error`, found by looking at the file the load would have used: it
// is not there, it is of another bitness (vendors often ship only 32-bit
// libraries) or no Windows library at all, or it is right and a DLL that it
// needs in turn is missing. Names the file, the bitness wanted and where
// the right library goes. Empty when the file gives no clue.
std::string LoadAdvice(const std::wstring& path, DllSearch search, unsigned long error);

}  // namespace kx::board::win

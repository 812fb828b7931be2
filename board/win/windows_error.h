#pragma once

#include <string>

namespace kx::board::win {

// The system's own text for a Windows error code, on one line, followed by
// the code: "The specified module could not be found. (error 126)". Codes
// that mean a wrong bitness get a hint, since that is the likeliest cause
// when a vendor library is present and still refuses to load.
std::string WindowsErrorText(unsigned long code);

// The same without the hint, for callers that look at the file themselves.
std::string SystemErrorText(unsigned long code);

}  // namespace kx::board::win

#pragma once

namespace kx::commands {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;  // the board, the link or a capture file failed
inline constexpr int ExitUsage = 2;    // bad usage or input: nothing was sent

#ifdef KX7312CTL_VERSION
inline constexpr const char* CtlVersion = KX7312CTL_VERSION;
#else
inline constexpr const char* CtlVersion = "unknown";
#endif

}  // namespace kx::commands

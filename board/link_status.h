#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kx::board {

// Statuses that the simulated board and the USB backend both give, with the
// same meaning, so a test or a trace reads the same whichever answered.
//
// Vendor_Request and VendorIORequest: the number of bytes answered (0 for
// direction 0) on success, negative on failure; Connect and
// Search_For_Boards fail with the same numbers.
inline constexpr std::int16_t RequestNoBoard = -1;    // never found, unplugged, or gone
inline constexpr std::int16_t RequestNotBooted = -2;  // still waiting for firmware: not sent
inline constexpr std::int16_t RequestBadHandle = -3;  // not handed out, or replaced by a newer one
inline constexpr std::int16_t RequestStalled = -4;    // the board refused the request

// Download_Firmware: 0 success, positive failure. LoadFirmWare returns the
// same numbers negated (LoadFirmWareStatus).
inline constexpr std::int16_t DownloadOk = 0;
inline constexpr std::int16_t DownloadNoBoard = 1;    // no board, or it went away
inline constexpr std::int16_t DownloadBadImage = 2;   // missing, unreadable or corrupt image
inline constexpr std::int16_t DownloadBadHandle = 3;  // not handed out by the latest Connect

constexpr std::int16_t LoadFirmWareStatus(std::int16_t download_status) {
  return static_cast<std::int16_t>(-download_status);
}

struct StatusMeaning {
  std::int16_t status;
  std::string_view name;
  std::string_view meaning;
};

inline constexpr std::array<StatusMeaning, 4> LinkRequestStatuses = {{
    {RequestNoBoard, "no board", "no board is open: none was found, or it was unplugged"},
    {RequestNotBooted, "not booted", "the board still waits for its firmware"},
    {RequestBadHandle, "bad handle", "the handle was not handed out by the latest Connect"},
    {RequestStalled, "stalled", "the board refused the request"},
}};

inline constexpr std::array<StatusMeaning, 4> LinkDownloadStatuses = {{
    {DownloadOk, "ok", "the firmware runs"},
    {DownloadNoBoard, "no board", "no board was found, or it went away during the download"},
    {DownloadBadImage, "bad image", "the firmware image is missing, unreadable or corrupt"},
    {DownloadBadHandle, "bad handle", "the handle was not handed out by the latest Connect"},
}};

// A backend's own table: the shared statuses first, then its own.
template <std::size_t Shared, std::size_t Own>
constexpr std::array<StatusMeaning, Shared + Own> JoinStatuses(
    const std::array<StatusMeaning, Shared>& shared, const std::array<StatusMeaning, Own>& own) {
  std::array<StatusMeaning, Shared + Own> joined{};
  std::size_t n = 0;
  for (const StatusMeaning& entry : shared) {
    joined[n++] = entry;
  }
  for (const StatusMeaning& entry : own) {
    joined[n++] = entry;
  }
  return joined;
}

}  // namespace kx::board

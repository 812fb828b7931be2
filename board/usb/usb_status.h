#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kx::board::usb {

// Statuses of Vendor_Request and VendorIORequest: the number of bytes the
// board answered with (0 for direction 0) on success, negative on failure. A
// request that reads succeeds only with every byte it asked for: the rest of
// the caller's buffer would otherwise pass for the board's answer.
// Connect and Search_For_Boards use the same failures.
inline constexpr std::int16_t RequestNoBoard = -1;    // never found, unplugged, or gone
inline constexpr std::int16_t RequestNotBooted = -2;  // still waiting for firmware: not sent
inline constexpr std::int16_t RequestBadHandle = -3;  // not handed out, or replaced by a newer one
inline constexpr std::int16_t RequestStalled = -4;    // the board refused the request
inline constexpr std::int16_t RequestTimedOut = -5;   // no answer within the request time-out
inline constexpr std::int16_t RequestNoAccess = -6;   // found, but this user may not open it
inline constexpr std::int16_t RequestIoError = -7;    // any other transfer failure
inline constexpr std::int16_t RequestBadArgument = -8;  // direction, length, code or buffer
inline constexpr std::int16_t RequestShortReply = -9;   // fewer bytes came back than were asked for

// Statuses of Download_Firmware: 0 success, positive failure. LoadFirmWare
// returns the same numbers negated (LoadFirmWareStatus).
inline constexpr std::int16_t DownloadOk = 0;
inline constexpr std::int16_t DownloadNoBoard = 1;       // no board, or it went away
inline constexpr std::int16_t DownloadBadImage = 2;      // missing, unreadable or corrupt image
inline constexpr std::int16_t DownloadBadHandle = 3;     // not handed out by the latest Connect
inline constexpr std::int16_t DownloadNoAccess = 4;      // found, but this user may not open it
inline constexpr std::int16_t DownloadResetFailed = 5;   // could not hold the CPU in reset
inline constexpr std::int16_t DownloadWriteFailed = 6;   // an image chunk was not taken
inline constexpr std::int16_t DownloadNoReturn = 7;      // no board came back running the firmware
inline constexpr std::int16_t DownloadReopenFailed = 8;  // came back, but could not be opened

constexpr std::int16_t LoadFirmWareStatus(std::int16_t download_status) {
  return static_cast<std::int16_t>(-download_status);
}

struct StatusMeaning {
  std::int16_t status;
  std::string_view name;
  std::string_view meaning;
};

inline constexpr std::array<StatusMeaning, 9> RequestStatusMeanings = {{
    {RequestNoBoard, "no board", "no board is open: none was found, or it was unplugged"},
    {RequestNotBooted, "not booted", "the board still waits for its firmware"},
    {RequestBadHandle, "bad handle", "the handle was not handed out by the latest Connect"},
    {RequestStalled, "stalled", "the board refused the request"},
    {RequestTimedOut, "timed out", "the board did not answer within the time-out"},
    {RequestNoAccess, "no access", "the board was found, but this user may not open it"},
    {RequestIoError, "I/O error", "the transfer failed"},
    {RequestBadArgument, "bad argument", "direction, length, request code or buffer out of range"},
    {RequestShortReply, "short reply", "the board answered with fewer bytes than were asked for"},
}};

inline constexpr std::array<StatusMeaning, 9> DownloadStatusMeanings = {{
    {DownloadOk, "ok", "the firmware runs"},
    {DownloadNoBoard, "no board", "no board was found, or it went away during the download"},
    {DownloadBadImage, "bad image", "the firmware image is missing, unreadable or corrupt"},
    {DownloadBadHandle, "bad handle", "the handle was not handed out by the latest Connect"},
    {DownloadNoAccess, "no access", "the board was found, but this user may not open it"},
    {DownloadResetFailed, "reset failed", "the board's CPU could not be held in reset"},
    {DownloadWriteFailed, "write failed", "the board did not take part of the image"},
    {DownloadNoReturn, "no return", "the board did not come back running the firmware"},
    {DownloadReopenFailed, "reopen failed", "the board came back but could not be opened"},
}};

// The meaning of a request status ("" for a success count) and of a download
// status (positive, or negated as LoadFirmWare returns it); "unknown status"
// for anything else.
std::string_view RequestStatusMeaning(std::int16_t status);
std::string_view DownloadStatusMeaning(std::int16_t status);

}  // namespace kx::board::usb

#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "board/link_status.h"

namespace kx::board::usb {

// Statuses of Vendor_Request and VendorIORequest: the number of bytes the
// board answered with (0 for direction 0) on success, negative on failure. A
// request that reads succeeds only with every byte it asked for: the rest of
// the caller's buffer would otherwise pass for the board's answer.
// Connect and Search_For_Boards use the same failures. The first four are
// the simulated board's too (board/link_status.h).
using board::RequestBadHandle;
using board::RequestNoBoard;
using board::RequestNotBooted;
using board::RequestStalled;
inline constexpr std::int16_t RequestTimedOut = -5;     // no answer within the request time-out
inline constexpr std::int16_t RequestNoAccess = -6;     // found, but this user may not open it
inline constexpr std::int16_t RequestIoError = -7;      // any other transfer failure
inline constexpr std::int16_t RequestBadArgument = -8;  // direction, length, code or buffer
inline constexpr std::int16_t RequestShortReply = -9;   // fewer bytes came back than were asked for

// Statuses of Download_Firmware: 0 success, positive failure. LoadFirmWare
// returns the same numbers negated (LoadFirmWareStatus). The first four are
// shared with the simulated board.
using board::DownloadBadHandle;
using board::DownloadBadImage;
using board::DownloadNoBoard;
using board::DownloadOk;
using board::LoadFirmWareStatus;
inline constexpr std::int16_t DownloadNoAccess = 4;      // found, but this user may not open it
inline constexpr std::int16_t DownloadResetFailed = 5;   // could not hold the CPU in reset
inline constexpr std::int16_t DownloadWriteFailed = 6;   // an image chunk was not taken
inline constexpr std::int16_t DownloadNoReturn = 7;      // no board came back running the firmware
inline constexpr std::int16_t DownloadReopenFailed = 8;  // came back, but could not be opened

using board::StatusMeaning;

// The backend's own failures, beyond those it shares with the simulated board.
inline constexpr std::array<StatusMeaning, 5> UsbRequestStatuses = {{
    {RequestTimedOut, "timed out", "the board did not answer within the time-out"},
    {RequestNoAccess, "no access", "the board was found, but this user may not open it"},
    {RequestIoError, "I/O error", "the transfer failed"},
    {RequestBadArgument, "bad argument", "direction, length, request code or buffer out of range"},
    {RequestShortReply, "short reply", "the board answered with fewer bytes than were asked for"},
}};

inline constexpr std::array<StatusMeaning, 5> UsbDownloadStatuses = {{
    {DownloadNoAccess, "no access", "the board was found, but this user may not open it"},
    {DownloadResetFailed, "reset failed", "the board's CPU could not be held in reset"},
    {DownloadWriteFailed, "write failed", "the board did not take part of the image"},
    {DownloadNoReturn, "no return", "the board did not come back running the firmware"},
    {DownloadReopenFailed, "reopen failed", "the board came back but could not be opened"},
}};

inline constexpr std::array<StatusMeaning, 9> RequestStatusMeanings =
    JoinStatuses(LinkRequestStatuses, UsbRequestStatuses);
inline constexpr std::array<StatusMeaning, 9> DownloadStatusMeanings =
    JoinStatuses(LinkDownloadStatuses, UsbDownloadStatuses);

// The meaning of a request status ("" for a success count) and of a download
// status (positive, or negated as LoadFirmWare returns it); "unknown status"
// for anything else.
std::string_view RequestStatusMeaning(std::int16_t status);
std::string_view DownloadStatusMeaning(std::int16_t status);

}  // namespace kx::board::usb

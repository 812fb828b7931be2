#pragma once

#include <cstddef>
#include <string>

namespace kx::scpi {

// The standard error and event numbers this instrument reports, with the
// texts SCPI gives them. The text goes out as given, optionally followed by
// "; " and a detail that says what exactly was wrong.
struct ErrorCode {
  int code;
  const char* text;
};

inline constexpr ErrorCode NoError{0, "No error"};
inline constexpr ErrorCode SyntaxError{-102, "Syntax error"};
inline constexpr ErrorCode InvalidSeparator{-103, "Invalid separator"};
inline constexpr ErrorCode DataTypeError{-104, "Data type error"};
inline constexpr ErrorCode ParameterNotAllowed{-108, "Parameter not allowed"};
inline constexpr ErrorCode MissingParameter{-109, "Missing parameter"};
inline constexpr ErrorCode ProgramMnemonicTooLong{-112, "Program mnemonic too long"};
inline constexpr ErrorCode UndefinedHeader{-113, "Undefined header"};
inline constexpr ErrorCode NumericDataError{-120, "Numeric data error"};
inline constexpr ErrorCode InvalidStringData{-151, "Invalid string data"};
inline constexpr ErrorCode InitIgnored{-213, "Init ignored"};
inline constexpr ErrorCode SettingsConflict{-221, "Settings conflict"};
inline constexpr ErrorCode DataOutOfRange{-222, "Data out of range"};
inline constexpr ErrorCode TooMuchData{-223, "Too much data"};
inline constexpr ErrorCode IllegalParameterValue{-224, "Illegal parameter value"};
inline constexpr ErrorCode HardwareError{-240, "Hardware error"};
inline constexpr ErrorCode HardwareMissing{-241, "Hardware missing"};
inline constexpr ErrorCode MassStorageError{-250, "Mass storage error"};
inline constexpr ErrorCode FileNameNotFound{-256, "File name not found"};
inline constexpr ErrorCode FileNameError{-257, "File name error"};
inline constexpr ErrorCode DeviceSpecificError{-300, "Device-specific error"};
inline constexpr ErrorCode QueueOverflow{-350, "Queue overflow"};
inline constexpr ErrorCode QueryInterrupted{-410, "Query INTERRUPTED"};
inline constexpr ErrorCode QueryUnterminated{-420, "Query UNTERMINATED"};

// An error as it is queued: the number and its whole text.
struct Error {
  int code = 0;
  std::string text;
};

// `code`'s text, with "; detail" where a detail is given.
Error MakeError(const ErrorCode& code, const std::string& detail = {});

// `-113,"Undefined header; FOO"`: as SYSTem:ERRor? answers, quotes in the
// text doubled as a SCPI string wants them, and the quoted text no longer
// than the 255 characters a client may count on (cut where it must be,
// never inside a doubled quote).
inline constexpr std::size_t LongestErrorText = 255;
std::string ErrorResponse(const Error& error);

}  // namespace kx::scpi

#include "scpi/scpi_error.h"

namespace kx::scpi {

Error MakeError(const ErrorCode& code, const std::string& detail) {
  Error error{code.code, code.text};
  if (!detail.empty()) {
    error.text += "; ";
    error.text += detail;
  }
  return error;
}

std::string ErrorResponse(const Error& error) {
  std::string response = std::to_string(error.code) + ",\"";
  std::size_t length = 0;
  for (const char c : error.text) {
    const std::size_t size = c == '"' ? 2 : 1;
    if (length + size > LongestErrorText) {
      break;
    }
    response.append(size, c);
    length += size;
  }
  response += '"';
  return response;
}

}  // namespace kx::scpi

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
  for (const char c : error.text) {
    response += c;
    if (c == '"') {
      response += '"';
    }
  }
  response += '"';
  return response;
}

}  // namespace kx::scpi

#include "board/win/windows_error.h"

#include <windows.h>

#include <string_view>

#include "board/win/wide_text.h"

namespace kx::board::win {

namespace {

std::string SystemText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) {
    text = Narrow(std::wstring_view(buffer, length));
  }
  LocalFree(buffer);
  // The system's texts end in a line break, some have them inside.
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      c = ' ';
    }
  }
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  // Some texts expect the file name as an insert; the caller names the file.
  for (std::size_t at = text.find("%1"); at != std::string::npos; at = text.find("%1", at)) {
    text.replace(at, 2, "the file");
  }
  return text;
}

}  // namespace

std::string SystemErrorText(unsigned long code) {
  std::string text = SystemText(code);
  if (text.empty()) {
    text = "Windows error without a description";
  }
  return text + " (error " + std::to_string(code) + ")";
}

std::string WindowsErrorText(unsigned long code) {
  std::string text = SystemErrorText(code);
  if (code == ERROR_BAD_EXE_FORMAT) {
    text += sizeof(void*) == 8 ? "; this is a 64-bit program, which cannot load a 32-bit library"
                               : "; this is a 32-bit program, which cannot load a 64-bit library";
  }
  return text;
}

}  // namespace kx::board::win

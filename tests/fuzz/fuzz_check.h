#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kx::fuzz {

// A broken promise is a finding like a crash: name it, then stop so that
// libFuzzer keeps the input that broke it.
[[noreturn]] inline void Broken(std::string_view promise) {
  std::fprintf(stderr, "broken promise: %.*s\n", static_cast<int>(promise.size()), promise.data());
  __builtin_trap();
}

inline void Require(bool kept, std::string_view promise) {
  if (!kept) {
    Broken(promise);
  }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline bool IsOneLine(std::string_view text) {
  return text.find('\n') == std::string_view::npos;
}

inline bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

inline bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Well-formed UTF-8: no stray continuation bytes, no cut sequences, no
// overlong forms or surrogates.
bool IsUtf8(std::string_view text);

}  // namespace kx::fuzz

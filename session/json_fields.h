#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "board/json_message.h"

namespace kx::session::json_fields {

// The readers of the set-up and calibration files check every field and
// name the one at fault by its path ("dac.groups[1].reference: ...").

// A field at fault: its path and what is wrong with it.
struct FieldFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] inline void Fault(const std::string& path, const std::string& what) {
  throw FieldFault(fmt::format("{}: {}", path, what));
}

inline std::string Member(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : fmt::format("{}.{}", path, key);
}

// An object holding exactly `keys`: a key it lacks or one it should not have
// is named. `whole` names the document at the top ("the set-up"), `one` a
// document of its kind ("a set-up").
inline const nlohmann::ordered_json& Object(const nlohmann::ordered_json& value,
                                            const std::string& path,
                                            std::initializer_list<std::string_view> keys,
                                            std::string_view whole, std::string_view one) {
  if (!value.is_object()) {
    Fault(path.empty() ? std::string(whole) : path, "not an object");
  }
  for (const std::string_view key : keys) {
    if (!value.contains(key)) {
      Fault(Member(path, key), "missing");
    }
  }
  for (const auto& [key, unused] : value.items()) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      Fault(Member(path, key), fmt::format("not a field of {}", one));
    }
  }
  return value;
}

// The document's "format" and "version": another kind of file is told as
// such before its fields are looked at, and a newer version (which may have
// other fields) as newer.
inline void CheckFormat(const nlohmann::ordered_json& doc, std::string_view format_name,
                        long long newest) {
  using Json = nlohmann::ordered_json;
  const Json format = doc.is_object() && doc.contains("format") ? doc["format"] : Json();
  if (format != format_name) {
    Fault("format", fmt::format("{} is not \"{}\"", format.dump(), format_name));
  }
  const Json version = doc.contains("version") ? doc["version"] : Json();
  if (!version.is_number_integer() || version.get<long long>() < 1) {
    Fault("version", fmt::format("{} is no version number", version.dump()));
  }
  if (version.get<long long>() > newest) {
    Fault("version", fmt::format("{} is newer than this program reads ({})",
                                 version.get<long long>(), newest));
  }
}

// The index of the item `value` names in `items`.
template <std::size_t N>
int Item(const nlohmann::ordered_json& value, const std::string& path,
         const std::array<const char*, N>& items) {
  if (value.is_string()) {
    for (std::size_t i = 0; i < N; ++i) {
      if (value.get<std::string>() == items[i]) {
        return static_cast<int>(i);
      }
    }
  }
  std::string listed;
  for (std::size_t i = 0; i < N; ++i) {
    listed += fmt::format("{}\"{}\"", i == 0 ? "" : (i + 1 == N ? " or " : ", "), items[i]);
  }
  Fault(path, fmt::format("{} is not {}", value.dump(), listed));
}

// `text` parsed and its document read by `read`, which throws FieldFault
// for a field at fault: a `Read` holding the result, or no result and why.
template <class Read, class ReadDocument>
Read ParseDocument(std::string_view text, ReadDocument read) {
  nlohmann::ordered_json doc;
  try {
    doc = nlohmann::ordered_json::parse(text.begin(), text.end());
  } catch (const nlohmann::ordered_json::exception& e) {
    return Read{{}, fmt::format("not valid JSON: {}", board::JsonMessage(e.what()))};
  }
  try {
    return Read{read(doc), {}};
  } catch (const FieldFault& fault) {
    return Read{{}, fault.what()};
  }
}

}  // namespace kx::session::json_fields

#include "scpi/header_pattern.h"

#include <cctype>

namespace kx::scpi {

namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool MnemonicMatches(std::string_view documented, std::string_view typed) {
  if (SameIgnoringCase(documented, typed)) {
    return true;
  }
  std::string short_form;
  for (const char c : documented) {
    if (std::isupper(static_cast<unsigned char>(c)) != 0 ||
        std::isdigit(static_cast<unsigned char>(c)) != 0) {
      short_form += c;
    }
  }
  return SameIgnoringCase(short_form, typed);
}

HeaderPattern::HeaderPattern(std::string_view documented) : text_(documented) {
  bool optional = false;
  std::string word;
  const auto finish = [&] {
    if (!word.empty()) {
      nodes_.push_back({word, optional});
      word.clear();
    }
  };
  for (const char c : documented) {
    switch (c) {
      case '[':
        finish();
        optional = true;
        break;
      case ']':
        finish();
        optional = false;
        break;
      case ':':
        finish();
        break;
      default:
        word += c;
    }
  }
  finish();
}

bool HeaderPattern::Matches(const std::vector<std::string>& typed) const {
  return MatchesFrom(0, typed, 0);
}

bool HeaderPattern::MatchesFrom(std::size_t node, const std::vector<std::string>& typed,
                                std::size_t word) const {
  if (node == nodes_.size()) {
    return word == typed.size();
  }
  if (word < typed.size() && MnemonicMatches(nodes_[node].mnemonic, typed[word]) &&
      MatchesFrom(node + 1, typed, word + 1)) {
    return true;
  }
  return nodes_[node].optional && MatchesFrom(node + 1, typed, word);
}

}  // namespace kx::scpi

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx::scpi {

// A mnemonic as SCPI documents it, "CONFigure": the upper-case letters (and
// any digits) are the short form, the whole word the long form; either is
// taken, in any case.
bool MnemonicMatches(std::string_view documented, std::string_view typed);

// A command header as documented, such as "SYSTem:ERRor[:NEXT]": nodes
// separated by ':', a node in brackets may be left out.
class HeaderPattern {
 public:
  explicit HeaderPattern(std::string_view documented);

  bool Matches(const std::vector<std::string>& typed) const;
  const std::string& Text() const { return text_; }

 private:
  struct Node {
    std::string mnemonic;
    bool optional;
  };
  bool MatchesFrom(std::size_t node, const std::vector<std::string>& typed, std::size_t word) const;

  std::string text_;
  std::vector<Node> nodes_;
};

}  // namespace kx::scpi

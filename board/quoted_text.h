#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::board {

// A text the operator typed, in double quotes for a message. Boxes have no
// length limit, so a long text is quoted by its first `longest` bytes and
// "..."; the cut never splits a UTF-8 sequence.
std::string QuotedStart(std::string_view text, std::size_t longest);

}  // namespace kx::board

#pragma once

#include <string>
#include <utility>

#include "board/board_directory.h"

namespace kx::board {

// The backend's directory with the user's name for the board; where the
// backend has none (a missing library, the Windows DLLs) a listing says why.
class NamedDirectory final : public BoardDirectory {
 public:
  NamedDirectory(BoardDirectory* backend, std::string name, std::string why_no_listing)
      : backend_(backend), name_(std::move(name)), why_no_listing_(std::move(why_no_listing)) {}

  AttachedBoards Attached() override {
    return backend_ != nullptr ? backend_->Attached() : AttachedBoards{{}, why_no_listing_};
  }
  std::optional<std::string> ConnectedSerial() const override {
    return backend_ != nullptr ? backend_->ConnectedSerial() : std::nullopt;
  }
  std::string BoardName() const override { return name_; }

 private:
  BoardDirectory* backend_;
  std::string name_;
  std::string why_no_listing_;
};

}  // namespace kx::board

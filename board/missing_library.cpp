#include "board/missing_library.h"

#include <utility>

namespace kx::board {

MissingLinkLibrary::MissingLinkLibrary(std::string library_name, std::string reason,
                                       OperatorPort& port)
    : library_name_(std::move(library_name)), reason_(std::move(reason)), port_(port) {}

std::string MissingLinkLibrary::Explanation() const {
  return "The link library " + library_name_ + " could not be loaded: " + reason_ +
         "\nThe panel carries on without a board.";
}

std::int16_t MissingLinkLibrary::Fail() {
  if (!reported_) {
    reported_ = true;
    port_.ShowMessage(Explanation(), "KX7312", MessageIcon::Critical);
  }
  return LibraryMissingStatus;
}

std::int16_t MissingLinkLibrary::Search_For_Boards(std::int32_t, std::int32_t, std::int32_t&,
                                                   BoardList&) {
  return Fail();
}

std::int16_t MissingLinkLibrary::Connect(std::int32_t, std::int32_t, std::int32_t, std::int32_t&) {
  return Fail();
}

std::int16_t MissingLinkLibrary::Download_Firmware(std::int32_t, const char*) {
  return Fail();
}

std::int16_t MissingLinkLibrary::Vendor_Request(std::int32_t, std::uint8_t, std::int32_t,
                                                std::int32_t, std::uint8_t, std::int32_t,
                                                std::uint8_t*) {
  return Fail();
}

std::int16_t MissingLinkLibrary::LoadFirmWare(const char*) {
  return Fail();
}

std::int16_t MissingLinkLibrary::VendorIORequest(std::int16_t, std::int32_t, std::int32_t,
                                                 std::int16_t, std::int16_t, std::uint8_t*) {
  return Fail();
}

}  // namespace kx::board

#include "board/usb/usb_status.h"

namespace kx::board::usb {
namespace {

constexpr std::string_view kUnknown = "unknown status";

template <std::size_t N>
std::string_view Find(const std::array<StatusMeaning, N>& table, std::int16_t status) {
  for (const StatusMeaning& entry : table) {
    if (entry.status == status) {
      return entry.meaning;
    }
  }
  return kUnknown;
}

}  // namespace

std::string_view RequestStatusMeaning(std::int16_t status) {
  return status >= 0 ? std::string_view() : Find(RequestStatusMeanings, status);
}

std::string_view DownloadStatusMeaning(std::int16_t status) {
  return Find(DownloadStatusMeanings, status < 0 ? LoadFirmWareStatus(status) : status);
}

}  // namespace kx::board::usb

#include "board/win/win_cvn_cyusb_usb4.h"

#include <windows.h>

#include <array>
#include <utility>

namespace kx::board::win {

namespace {

// The library's own signatures. Narrow arguments still take a full stack
// slot each under stdcall, so only the values, not the layout, depend on
// the widths.
using SearchForBoardsFunction = std::int16_t(WINAPI*)(std::int32_t vendor, std::int32_t product,
                                                      std::int32_t* number, std::uint8_t* list);
using ConnectFunction = std::int16_t(WINAPI*)(std::int32_t vendor, std::int32_t product,
                                              std::int32_t board, std::int32_t* handle);
using DownloadFirmwareFunction = std::int16_t(WINAPI*)(std::int32_t handle, const char* path);
using VendorRequestFunction = std::int16_t(WINAPI*)(std::int32_t handle, std::uint8_t request,
                                                    std::int32_t value, std::int32_t index,
                                                    std::uint8_t direction, std::int32_t length,
                                                    std::uint8_t* buffer);

constexpr std::array<const char*, 1> SearchForBoardsName = {"Search_For_Boards"};
constexpr std::array<const char*, 1> ConnectName = {"Connect"};
constexpr std::array<const char*, 1> DownloadFirmwareName = {"Download_Firmware"};
constexpr std::array<const char*, 1> VendorRequestName = {"Vendor_Request"};

}  // namespace

WinCvnCyusbUsb4::WinCvnCyusbUsb4(OperatorPort& port, std::string path)
    : dll_(std::move(path), DllSearch::ByPath, port) {}

std::int16_t WinCvnCyusbUsb4::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                                std::int32_t& number, BoardList& list) {
  if (auto function =
          dll_.Bind<SearchForBoardsFunction>(search_, "Search_For_Boards", SearchForBoardsName)) {
    return function(vendor, product, &number, list.data());
  }
  return dll_.Missing().Search_For_Boards(vendor, product, number, list);
}

std::int16_t WinCvnCyusbUsb4::Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                                      std::int32_t& handle) {
  if (auto function = dll_.Bind<ConnectFunction>(connect_, "Connect", ConnectName)) {
    return function(vendor, product, board, &handle);
  }
  return dll_.Missing().Connect(vendor, product, board, handle);
}

std::int16_t WinCvnCyusbUsb4::Download_Firmware(std::int32_t handle, const char* path) {
  if (auto function = dll_.Bind<DownloadFirmwareFunction>(download_, "Download_Firmware",
                                                          DownloadFirmwareName)) {
    return function(handle, path);
  }
  return dll_.Missing().Download_Firmware(handle, path);
}

std::int16_t WinCvnCyusbUsb4::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                             std::int32_t value, std::int32_t index,
                                             std::uint8_t direction, std::int32_t length,
                                             std::uint8_t* buffer) {
  if (auto function =
          dll_.Bind<VendorRequestFunction>(request_, "Vendor_Request", VendorRequestName)) {
    return function(handle, request, value, index, direction, length, buffer);
  }
  return dll_.Missing().Vendor_Request(handle, request, value, index, direction, length, buffer);
}

}  // namespace kx::board::win

#include "board/usb/usb_status.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <set>
#include <string>
#include <vector>

#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/usb/usb_context.h"
#include "board/usb/vendor_control.h"
#include "usb_rig.h"

namespace kx::board::usb {
namespace {

TEST(UsbStatus, RequestFailuresAreNegativeAndDistinct) {
  std::set<std::int16_t> statuses;
  std::set<std::string_view> meanings;
  for (const StatusMeaning& entry : RequestStatusMeanings) {
    EXPECT_LT(entry.status, 0) << entry.name;
    EXPECT_EQ(RequestStatusMeaning(entry.status), entry.meaning);
    statuses.insert(entry.status);
    meanings.insert(entry.meaning);
  }
  EXPECT_EQ(statuses.size(), RequestStatusMeanings.size());
  EXPECT_EQ(meanings.size(), RequestStatusMeanings.size());
  EXPECT_EQ(RequestStatusMeaning(3), "");
  EXPECT_EQ(RequestStatusMeaning(-99), "unknown status");
}

TEST(UsbStatus, DownloadFailuresArePositiveAndNegatedForLoadFirmWare) {
  std::set<std::int16_t> statuses;
  std::set<std::string_view> meanings;
  for (const StatusMeaning& entry : DownloadStatusMeanings) {
    EXPECT_GE(entry.status, 0) << entry.name;
    EXPECT_EQ(DownloadStatusMeaning(entry.status), entry.meaning);
    EXPECT_EQ(DownloadStatusMeaning(LoadFirmWareStatus(entry.status)), entry.meaning);
    statuses.insert(entry.status);
    meanings.insert(entry.meaning);
  }
  EXPECT_EQ(statuses.size(), DownloadStatusMeanings.size());
  EXPECT_EQ(meanings.size(), DownloadStatusMeanings.size());
  EXPECT_EQ(LoadFirmWareStatus(DownloadNoReturn), -7);
  EXPECT_EQ(LoadFirmWareStatus(DownloadOk), 0);
  EXPECT_EQ(DownloadStatusMeaning(42), "unknown status");
}

// The statuses a board's CVN_CYUSB_USB4 face gives, connected but waiting for
// its firmware, through the failures both boards know, to the download.
std::vector<std::int16_t> SharedSituations(CvnCyusbUsb4& library) {
  BoardList list{};
  std::int32_t number = 0;
  std::int32_t handle = 0;
  library.Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  library.Connect(BoardVendorId, BoardProductId, list[0], handle);
  std::uint8_t none = 0;
  std::vector<std::int16_t> statuses;
  statuses.push_back(library.Vendor_Request(handle, PostBootRequest, 0, 0, 0, 0, &none));
  statuses.push_back(library.Vendor_Request(handle + 1, PostBootRequest, 0, 0, 0, 0, &none));
  statuses.push_back(library.Download_Firmware(handle + 1, KX_TEST_FIRMWARE));
  statuses.push_back(library.Download_Firmware(handle, "/nonexistent/KX7312FW.hex"));
  statuses.push_back(library.Download_Firmware(handle, KX_TEST_FIRMWARE));
  statuses.push_back(library.Vendor_Request(handle, 0xDB, 0, 0, 0, 0, &none));
  return statuses;
}

class UsbSharedStatus : public testing::UsbBackendTest {};

TEST_F(UsbSharedStatus, TheBackendAndTheSimulatedBoardAnswerAlike) {
  const std::vector<std::int16_t> expected = {RequestNotBooted, RequestBadHandle, DownloadBadHandle,
                                              DownloadBadImage, DownloadOk,       RequestStalled};
  testing::UsbRig rig;
  rig.board.PlugIn();
  EXPECT_EQ(SharedSituations(*rig.library), expected);
  sim::SimBoard simulated;
  EXPECT_EQ(SharedSituations(simulated.Cvn()), expected);
}

TEST(UsbStatus, LibusbErrorsMapToTheirRequestStatus) {
  struct Case {
    int libusb_error;
    std::int16_t status;
  };
  for (const Case c :
       {Case{LIBUSB_ERROR_PIPE, RequestStalled}, Case{LIBUSB_ERROR_TIMEOUT, RequestTimedOut},
        Case{LIBUSB_ERROR_NO_DEVICE, RequestNoBoard}, Case{LIBUSB_ERROR_ACCESS, RequestNoAccess},
        Case{LIBUSB_ERROR_IO, RequestIoError}, Case{LIBUSB_ERROR_OVERFLOW, RequestIoError},
        Case{LIBUSB_ERROR_OTHER, RequestIoError}}) {
    EXPECT_EQ(RequestStatusFromLibusb(c.libusb_error), c.status) << c.libusb_error;
  }
}

TEST(UsbStatus, InitFailureNamesLibusbsError) {
  const std::string text = UsbInitFailureText(LIBUSB_ERROR_OTHER);
  EXPECT_EQ(text.rfind("libusb could not be initialised: ", 0), 0U) << text;
  EXPECT_NE(text.find("LIBUSB_ERROR_OTHER"), std::string::npos) << text;
}

}  // namespace
}  // namespace kx::board::usb

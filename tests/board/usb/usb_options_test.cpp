#include "board/usb/usb_options.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kx::board::usb {
namespace {

TEST(ParseUsbId, AcceptsHexWithOrWithoutPrefix) {
  struct Case {
    std::string text;
    UsbId id;
  };
  const std::vector<Case> cases = {
      {"1234:7312", {0x1234, 0x7312}},     {"0x1234:0x7310", {0x1234, 0x7310}},
      {"0XABCD:0Xef01", {0xABCD, 0xEF01}}, {"abcd:EF01", {0xABCD, 0xEF01}},
      {"0:1", {0x0000, 0x0001}},           {"0x0:0xffff", {0x0000, 0xFFFF}},
      {"0x1234:7312", {0x1234, 0x7312}},
  };
  for (const Case& c : cases) {
    const UsbOptionParse<UsbId> parsed = ParseUsbId(c.text);
    ASSERT_TRUE(parsed.value.has_value()) << c.text << ": " << parsed.error;
    EXPECT_EQ(*parsed.value, c.id) << c.text;
    EXPECT_TRUE(parsed.error.empty()) << c.text;
  }
}

TEST(ParseUsbId, RefusesBadTextWithAReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"12347312", "missing ':' between vendor and product id"},
      {"", "missing ':' between vendor and product id"},
      {":7312", "the vendor id is empty"},
      {"0x:7312", "the vendor id is empty"},
      {"1234:", "the product id is empty"},
      {"12345:7312", "the vendor id has more than 4 hexadecimal digits"},
      {"1234:0x73120", "the product id has more than 4 hexadecimal digits"},
      {"12g4:7312", "the vendor id is not a hexadecimal number"},
      {"1234:73 2", "the product id is not a hexadecimal number"},
      {"-1:7312", "the vendor id is not a hexadecimal number"},
      {"1234:7312:1", "the product id is not a hexadecimal number"},
      {" 1234:7312", "the vendor id is not a hexadecimal number"},
  };
  for (const Case& c : cases) {
    const UsbOptionParse<UsbId> parsed = ParseUsbId(c.text, "--usb-loader-id");
    EXPECT_FALSE(parsed.value.has_value()) << c.text;
    EXPECT_EQ(parsed.error, "invalid --usb-loader-id \"" + c.text + "\": " + c.reason +
                                " (expected VID:PID in hexadecimal, such as 1234:7312)");
  }
}

TEST(ParseUsbBusAddress, AcceptsDecimalBusAndAddress) {
  struct Case {
    std::string text;
    UsbBusAddress place;
  };
  const std::vector<Case> cases = {
      {"1:5", {1, 5}}, {"001:005", {1, 5}}, {"255:127", {255, 127}}, {"3:1", {3, 1}}};
  for (const Case& c : cases) {
    const UsbOptionParse<UsbBusAddress> parsed = ParseUsbBusAddress(c.text);
    ASSERT_TRUE(parsed.value.has_value()) << c.text << ": " << parsed.error;
    EXPECT_EQ(*parsed.value, c.place) << c.text;
  }
}

TEST(ParseUsbBusAddress, RefusesBadTextWithAReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"15", "missing ':' between bus and address"},
      {":5", "the bus number is empty"},
      {"1:", "the address is empty"},
      {"0:5", "the bus number must be 1 to 255"},
      {"256:5", "the bus number must be 1 to 255"},
      {"99999999999999999999:5", "the bus number must be 1 to 255"},
      {"1:0", "the address must be 1 to 127"},
      {"1:128", "the address must be 1 to 127"},
      {"0x1:5", "the bus number is not a decimal number"},
      {"1:-5", "the address is not a decimal number"},
      {"1:5:7", "the address is not a decimal number"},
  };
  for (const Case& c : cases) {
    const UsbOptionParse<UsbBusAddress> parsed = ParseUsbBusAddress(c.text);
    EXPECT_FALSE(parsed.value.has_value()) << c.text;
    EXPECT_EQ(parsed.error, "invalid --usb-bus \"" + c.text + "\": " + c.reason +
                                " (expected BUS:ADDR in decimal, such as 1:5)");
  }
}

TEST(ApplyUsbOption, StoresEachOptionAndLeavesOptionsAloneOnError) {
  UsbOptions options;
  EXPECT_EQ(options.running, (UsbId{0x1234, 0x7312}));
  EXPECT_EQ(options.loader, (UsbId{0x1234, 0x7310}));
  EXPECT_FALSE(options.bus_address.has_value());

  EXPECT_EQ(ApplyUsbOption(options, "--usb-id", "abcd:0001"), "");
  EXPECT_EQ(ApplyUsbOption(options, "--usb-loader-id", "abcd:0002"), "");
  EXPECT_EQ(ApplyUsbOption(options, "--usb-bus", "2:9"), "");
  EXPECT_EQ(ApplyUsbOption(options, "--usb-serial", "KX 0001"), "");
  EXPECT_EQ(options.serial, "KX 0001");
  EXPECT_EQ(options.running, (UsbId{0xABCD, 0x0001}));
  EXPECT_EQ(options.loader, (UsbId{0xABCD, 0x0002}));
  EXPECT_EQ(options.bus_address, (UsbBusAddress{2, 9}));

  const UsbOptions before = options;
  EXPECT_EQ(ApplyUsbOption(options, "--usb-id", "zz"),
            "invalid --usb-id \"zz\": missing ':' between vendor and product id (expected "
            "VID:PID in hexadecimal, such as 1234:7312)");
  EXPECT_EQ(ApplyUsbOption(options, "--usb-bus", "2:300"),
            "invalid --usb-bus \"2:300\": the address must be 1 to 127 (expected BUS:ADDR in "
            "decimal, such as 1:5)");
  for (const auto& [serial, reason] : std::vector<std::pair<std::string, std::string>>{
           {"", "it is empty"},
           {std::string(127, 'x'), "it is longer than 126 characters"},
           {"KX\n1", "it holds a character other than printable ASCII"}}) {
    EXPECT_EQ(ApplyUsbOption(options, "--usb-serial", serial),
              fmt::format("invalid --usb-serial \"{}\": {} (expected the serial number as "
                          "kx7312ctl list shows it)",
                          serial == "KX\n1" ? "KX?1" : serial, reason));
  }
  EXPECT_EQ(ApplyUsbOption(options, "--usb-speed", "1"), "unknown USB option --usb-speed");
  EXPECT_EQ(options.running, before.running);
  EXPECT_EQ(options.loader, before.loader);
  EXPECT_EQ(options.bus_address, before.bus_address);
  EXPECT_EQ(options.serial, before.serial);
}

TEST(UsbOptionHelps, CoverEveryOptionOnce) {
  std::set<std::string_view> names;
  for (const UsbOptionHelp& help : UsbOptionHelps) {
    EXPECT_TRUE(IsUsbOption(help.option)) << help.option;
    EXPECT_FALSE(help.text.empty()) << help.option;
    names.insert(help.option);
  }
  EXPECT_EQ(names.size(), 4U);
  EXPECT_FALSE(IsUsbOption("--usb"));
}

// The help is plain text; this keeps its defaults those of the board model.
TEST(UsbOptionHelps, NameTheBoardModelsIdentifiersAsDefaults) {
  struct Case {
    std::string_view option;
    UsbId id;
  };
  for (const Case c : {Case{UsbIdOption, KX7312Board.running_id},
                       Case{UsbLoaderIdOption, KX7312Board.loader_id}}) {
    const std::string expected = fmt::format("(default {:04x}:{:04x})", c.id.vendor, c.id.product);
    const auto help = std::find_if(UsbOptionHelps.begin(), UsbOptionHelps.end(),
                                   [&](const UsbOptionHelp& h) { return h.option == c.option; });
    ASSERT_NE(help, UsbOptionHelps.end()) << c.option;
    EXPECT_NE(help->text.find(expected), std::string_view::npos) << help->text;
  }
}

}  // namespace
}  // namespace kx::board::usb

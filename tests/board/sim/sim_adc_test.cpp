#include "board/sim/sim_adc.h"

#include <gtest/gtest.h>

namespace kx::board::sim {
namespace {

constexpr std::uint16_t ChannelWord(int channel, unsigned bits = 0) {
  return static_cast<std::uint16_t>(0x8300U | (static_cast<unsigned>(channel) << 10) | bits);
}

TEST(SimAdc, PowersUpOnChannelZeroTwosComplementFullSpan) {
  Adc adc;
  EXPECT_EQ(adc.SelectedChannel(), 0);
  EXPECT_FALSE(adc.HalfSpan());
  EXPECT_FALSE(adc.StraightBinary());
  EXPECT_FALSE(adc.Weak());
}

TEST(SimAdc, ControlRegisterWrittenOnlyWithBit15) {
  Adc adc;
  adc.Transfer(0x7FFF, 0, 2.5);
  EXPECT_EQ(adc.ControlRegister(), 0);
  adc.Transfer(0xFFFF, 0, 2.5);
  EXPECT_EQ(adc.SelectedChannel(), 15);
  EXPECT_TRUE(adc.Weak());
  EXPECT_TRUE(adc.HalfSpan());
  EXPECT_TRUE(adc.StraightBinary());
}

TEST(SimAdc, EachTransferReturnsThePreviousSelection) {
  Adc adc;
  // Select channel 5, then 9: the second reply is channel 5's conversion.
  adc.Transfer(ChannelWord(5, 0x10), 0.0, 2.5);
  const std::uint16_t reply = adc.Transfer(ChannelWord(9, 0x10), 1.25, 2.5);
  EXPECT_EQ(reply >> 12, 5);
  EXPECT_EQ(reply & 0xFFF, 1024);
  EXPECT_EQ(adc.SelectedChannel(), 9);
}

TEST(SimAdc, ConversionTable) {
  struct Case {
    unsigned bits;  // Range 0x20, Coding 0x10
    double volts;
    double reference;
    int code;
  };
  const Case cases[] = {
      // straight binary, span 2 x reference
      {0x10, 0.0, 2.5, 0x000},
      {0x10, 2.5, 2.5, 0x800},
      {0x10, 1.25, 2.5, 0x400},
      {0x10, 5.0, 2.5, 0xFFF},
      {0x10, 4.9994, 2.5, 0xFFF},
      {0x10, 4.99, 2.5, 0xFF8},
      // nearest integer
      {0x10, 5.0 / 4096 * 10.4, 2.5, 10},
      {0x10, 5.0 / 4096 * 10.6, 2.5, 11},
      // straight binary, span = reference
      {0x30, 1.25, 2.5, 0x800},
      {0x30, 3.0, 2.5, 0xFFF},
      {0x30, 0.5, 1.0, 0x800},
      // two's complement: straight XOR 0x800
      {0x00, 0.0, 2.5, 0x800},
      {0x00, 2.5, 2.5, 0x000},
      {0x00, 5.0, 2.5, 0x7FF},
      {0x00, 1.25, 2.5, 0xC00},
      {0x20, 2.5, 2.5, 0x7FF},
      {0x20, 1.25, 2.5, 0x000},
  };
  for (const Case& c : cases) {
    Adc adc;
    adc.Transfer(ChannelWord(0, c.bits), 0.0, c.reference);
    EXPECT_EQ(adc.Convert(c.volts, c.reference), c.code)
        << "bits " << c.bits << " volts " << c.volts << " ref " << c.reference;
  }
}

TEST(SimAdc, OutputWordCarriesChannelAndCode) {
  Adc adc;
  adc.Transfer(ChannelWord(15, 0x10), 0.0, 2.5);
  EXPECT_EQ(adc.Transfer(ChannelWord(0, 0x10), 5.0, 2.5), 0xFFFF);
  adc.Transfer(ChannelWord(12, 0x10), 0.0, 2.5);
  EXPECT_EQ(adc.Transfer(ChannelWord(0, 0x10), 2.5, 2.5), 0xC800);
}

}  // namespace
}  // namespace kx::board::sim

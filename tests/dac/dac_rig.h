#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "dac/dac_operations.h"
#include "support/fake_operator.h"
#include "support/shown_operations.h"

namespace kx::dac::rig {

// Which link library the rig's panel talks through.
enum class LinkKind { Cvn, Io };

std::string LinkName(LinkKind kind);
// Names the instances of a test run on both links: .../Cvn and .../Io.
std::string LinkParamName(const ::testing::TestParamInfo<LinkKind>& param);

// One request as the board received it: the code and the 32-bit word that
// its value and index fields carry (0 for the data-less control requests).
struct Sent {
  int code;
  std::int32_t word;
  bool operator==(const Sent&) const = default;
};
void PrintTo(const Sent& sent, std::ostream* out);

// The simulated board booted through one link kind, every call traced, with
// a fresh DacOperations on top.
class DacRig {
 public:
  explicit DacRig(LinkKind kind, board::sim::SimSettings settings = {});

  // Trace lines and requests since the board was booted.
  std::vector<std::string> Lines() const;
  std::vector<Sent> Requests() const;
  // Forget what was sent so far, so a test looks at one click only.
  void Mark();

  // The expected trace line of a request with this code and word.
  std::string Line(int code, std::int32_t word, int status = 0) const;

  LinkKind kind;
  board::sim::SimBoard board;
  kx::testing::FakeOperator port;
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  std::unique_ptr<board::CvnCyusbUsb4> cvn_tracer;
  std::unique_ptr<board::UsbBoardIo> io_tracer;
  std::unique_ptr<board::BoardLink> link;
  std::unique_ptr<DacOperations> core;
  std::unique_ptr<kx::testing::ShownDac> ops;

 private:
  std::size_t mark_ = 0;
};

// The panel's start-up state: every channel ticked, the start-up texts.
DacOperations::ChannelTicks AllTicked();
DacOperations::ChannelTicks NoneTicked();
DacOperations::ChannelTicks Ticked(std::initializer_list<int> channels);
DacOperations::ChannelTexts StartupTexts();

}  // namespace kx::dac::rig

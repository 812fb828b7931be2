#pragma once

#include <ostream>

#include "commands/command.h"
#include "commands/session.h"
#include "ctl/commands_vocabulary.h"
#include "session/edition.h"

namespace kx::ctl {

// What the tool prints. For people: a few plain lines per command on
// standard output (the words sent, the codes read, the reply) and every
// failure on standard error. With --json: one JSON object per command on a
// line of its own, with stable keys (see the README), and failures on
// standard error as well.
class Output {
 public:
  Output(std::ostream& out, std::ostream& err, bool json, const Edition& edition)
      : out_(out), err_(err), json_(json), edition_(edition) {}

  void CommandDone(const Command& command, const Outcome& outcome);
  // A start-up that failed; one that worked prints nothing.
  void StartUpFailed(const Outcome& outcome);

 private:
  void Failure(const Source& source, const std::string& name, const Outcome& outcome);

  std::ostream& out_;
  std::ostream& err_;
  bool json_;
  const Edition& edition_;
};

}  // namespace kx::ctl

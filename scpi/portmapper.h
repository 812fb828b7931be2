#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scpi/rpc_connection.h"

namespace kx::scpi {

// The VXI-11 core program's entry with the system's portmapper (rpcbind),
// there while this object lives. Only one server can hold it at a time;
// the entry is removed only while it still names our port, so that a
// server never takes away another's.
class PortmapperEntry {
 public:
  // The entry, or the reason it could not be made.
  static std::unique_ptr<PortmapperEntry> Make(unsigned short port, std::string& error);
  ~PortmapperEntry();
  PortmapperEntry(const PortmapperEntry&) = delete;
  PortmapperEntry& operator=(const PortmapperEntry&) = delete;

 private:
  explicit PortmapperEntry(unsigned short port) : port_(port) {}
  unsigned short port_;
};

// A portmapper of our own for a machine without one (or a user who may not
// register with it): version 2 over TCP, answering GETPORT with `port` for
// the VXI-11 core program and 0 for every other.
RpcDispatch OwnPortmapper(unsigned short port);

}  // namespace kx::scpi

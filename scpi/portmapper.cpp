#include "scpi/portmapper.h"

#include <netconfig.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_clnt.h>

#include <optional>
#include <string>

#include "scpi/vxi11_rpc.h"

namespace kx::scpi {

namespace {

// The port the portmapper gives for the VXI-11 core program over TCP, 0
// for none; nothing when no portmapper answers.
std::optional<unsigned short> HeldPort() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // pmap_getport says 0 both for "none registered" and for "nobody there",
  // the latter with rpc_createerr set.
  rpc_createerr.cf_stat = RPC_SUCCESS;
  const unsigned short held = pmap_getport(&local, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
  if (held == 0 && rpc_createerr.cf_stat != RPC_SUCCESS &&
      rpc_createerr.cf_stat != RPC_PROGNOTREGISTERED) {
    return std::nullopt;
  }
  return held;
}

struct NetconfigFree {
  void operator()(netconfig* entry) const { freenetconfigent(entry); }
};
using Netconfig = std::unique_ptr<netconfig, NetconfigFree>;

std::string HeldText(unsigned short held) {
  return "another server holds the VXI-11 entry of the portmapper (port " + std::to_string(held) +
         "); only one can (one that was killed leaves it behind: `rpcinfo -d " +
         std::to_string(DEVICE_CORE) + " " + std::to_string(DEVICE_CORE_VERSION) + "` removes it)";
}

}  // namespace

std::unique_ptr<PortmapperEntry> PortmapperEntry::Make(unsigned short port, std::string& error) {
  const std::optional<unsigned short> held = HeldPort();
  if (!held) {
    error =
        "no portmapper answers on this machine (start rpcbind, or answer GETPORT with "
        "--portmapper ADDR:PORT)";
    return nullptr;
  }
  if (*held != 0) {
    error = HeldText(*held);
    return nullptr;
  }
  // rpcb_set with the address at hand rather than pmap_set, which does the
  // same through a universal address and loses a little memory doing it.
  const Netconfig tcp(getnetconfigent("tcp"));
  if (!tcp) {
    error = "no \"tcp\" entry in /etc/netconfig";
    return nullptr;
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  netbuf address{sizeof any, sizeof any, &any};
  // rpcbind refuses an entry that names another address: of two servers
  // that both found none, one gets it.
  if (rpcb_set(DEVICE_CORE, DEVICE_CORE_VERSION, tcp.get(), &address) == 0) {
    const std::optional<unsigned short> now = HeldPort();
    error = now && *now != 0 && *now != port ? HeldText(*now)
                                             : "the portmapper refused the VXI-11 entry";
    return nullptr;
  }
  return std::unique_ptr<PortmapperEntry>(new PortmapperEntry(port));
}

PortmapperEntry::~PortmapperEntry() {
  // rpcbind removes an entry by its program, version and transport,
  // whatever port it names: taken away meanwhile (rpcinfo -d) and made
  // again by another server, it is that server's.
  if (HeldPort() != port_) {
    return;
  }
  if (const Netconfig tcp{getnetconfigent("tcp")}) {
    rpcb_unset(DEVICE_CORE, DEVICE_CORE_VERSION, tcp.get());
  }
}

RpcDispatch OwnPortmapper(unsigned short port) {
  return [port](const std::shared_ptr<RpcConnection>&, const RpcCall& call, const RpcReply& reply) {
    if (call.program != PMAPPROG) {
      reply.ProgramUnavailable();
    } else if (call.version != PMAPVERS) {
      reply.VersionMismatch(PMAPVERS, PMAPVERS);
    } else if (call.procedure == PMAPPROC_NULL) {
      reply.Success(XdrRoutine(xdr_void), nullptr);
    } else if (call.procedure != PMAPPROC_GETPORT) {
      reply.ProcedureUnavailable();
    } else {
      pmap asked{};
      if (!call.Decode(XdrRoutine(xdr_pmap), &asked)) {
        reply.GarbageArguments();
        return;
      }
      u_long answer = asked.pm_prog == DEVICE_CORE && asked.pm_vers == DEVICE_CORE_VERSION &&
                              asked.pm_prot == IPPROTO_TCP
                          ? port
                          : 0;
      reply.Success(XdrRoutine(xdr_u_long), &answer);
    }
  };
}

}  // namespace kx::scpi

#include "scpi/portmapper.h"

#include <netconfig.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_clnt.h>

#include "scpi/vxi11_rpc.h"

namespace kx::scpi {

std::unique_ptr<PortmapperEntry> PortmapperEntry::Make(unsigned short port, std::string& error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // pmap_getport asks over the network and says nothing when no portmapper
  // answers: 0 for "none registered" and for "nobody there" alike, the
  // latter with rpc_createerr set.
  rpc_createerr.cf_stat = RPC_SUCCESS;
  const unsigned short held = pmap_getport(&local, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP);
  if (held == 0 && rpc_createerr.cf_stat != RPC_SUCCESS &&
      rpc_createerr.cf_stat != RPC_PROGNOTREGISTERED) {
    error =
        "no portmapper answers on this machine (start rpcbind, or answer GETPORT with "
        "--portmapper ADDR:PORT)";
    return nullptr;
  }
  if (held != 0) {
    error = "another server holds the VXI-11 entry of the portmapper (port " +
            std::to_string(held) + "); only one can";
    return nullptr;
  }
  // rpcb_set with the address at hand rather than pmap_set, which does the
  // same through a universal address and loses a little memory doing it.
  netconfig* tcp = getnetconfigent("tcp");
  if (tcp == nullptr) {
    error = "no \"tcp\" entry in /etc/netconfig";
    return nullptr;
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  netbuf address{sizeof any, sizeof any, &any};
  const bool set = rpcb_set(DEVICE_CORE, DEVICE_CORE_VERSION, tcp, &address) != 0;
  freenetconfigent(tcp);
  if (!set) {
    error = "the portmapper refused the VXI-11 entry";
    return nullptr;
  }
  return std::unique_ptr<PortmapperEntry>(new PortmapperEntry());
}

PortmapperEntry::~PortmapperEntry() {
  // Every transport's entry of the program: there is only ours.
  rpcb_unset(DEVICE_CORE, DEVICE_CORE_VERSION, nullptr);
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

// ksuser.dll: the user-mode kernel-streaming library; creates pin instances on open filters.
#include <ks.h>

namespace velno::ks {
DWORD CreatePin(HANDLE filter, const KSPIN_CONNECT* connect, ACCESS_MASK access, HANDLE* pinHandle);
}

VELNO_EXTERN_C __attribute__((visibility("default"))) DWORD WINAPI KsCreatePin(HANDLE FilterHandle,
                                                                              PKSPIN_CONNECT Connect,
                                                                              ACCESS_MASK DesiredAccess,
                                                                              PHANDLE ConnectionHandle) {
  return velno::ks::CreatePin(FilterHandle, Connect, DesiredAccess, ConnectionHandle);
}

// The transport of VelnoHDASIOW. Endpoint discovery and the exclusive-mode stream engine are
// not part of this module yet, so its probe accepts no device and creation is refused.
#include "UnavailableTransport.h"

CAsioTransport* CreateTransport(CAsioSample*) { return new CUnavailableTransport(); }

void DestroyTransport(CAsioTransport* transport) { delete static_cast<CUnavailableTransport*>(transport); }

// The kernel-streaming transport of VelnoHDASIO.
#include "UnavailableTransport.h"

CAsioTransport* CreateTransport(CAsioSample*) { return new CUnavailableTransport(); }

void DestroyTransport(CAsioTransport* transport) { delete static_cast<CUnavailableTransport*>(transport); }

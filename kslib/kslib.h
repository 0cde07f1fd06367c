// The kernel-streaming client library.
#pragma once
#include "CKsAudCapFilter.h"
#include "CKsAudCapPin.h"
#include "CKsAudRenFilter.h"
#include "CKsAudRenPin.h"
#include "CKsEnumFilters.h"
#include "CKsNode.h"

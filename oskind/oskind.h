// Operating-system classification shared by the control panel and the installer: which
// Windows release runs, whether it is a 32-bit system, and its build number.
#pragma once
#include <windows.h>

// OS kinds. Kind 8 (6.2 server) is numbered after kind 7 (6.3 workstation).
enum OsKind {
  OSKIND_XP = 0,             // 5.1, or 5.2 workstation on AMD64 (XP x64)
  OSKIND_SERVER_2003 = 1,    // 5.2 otherwise
  OSKIND_VISTA = 2,          // 6.0 workstation
  OSKIND_SERVER_2008 = 3,    // 6.0 server
  OSKIND_WIN7 = 4,           // 6.1 workstation
  OSKIND_SERVER_2008R2 = 5,  // 6.1 server
  OSKIND_WIN8 = 6,           // 6.2 workstation
  OSKIND_WIN81 = 7,          // 6.3 workstation
  OSKIND_SERVER_2012 = 8,    // 6.2 server
  OSKIND_SERVER_2012R2 = 9,  // 6.3 server
  OSKIND_WIN10 = 10,         // 10.0 workstation
  OSKIND_SERVER_2016 = 11,   // 10.0 server
  OSKIND_OTHER = 12          // anything else
};

// What the classification found (three 32-bit fields, in this order).
struct OsRecord {
  INT kind;          // an OsKind
  INT platformFlag;  // 1 for a 32-bit system, 0 for a 64-bit one (AMD64 or IA64)
  UINT build;        // build number reported by the version query
};

// The build of Windows 10 version 1703.
#define OSKIND_BUILD_WIN10_1703 15063

// Classifies the running system. Before anything else the outputs are set to kind 12,
// platform flag 1, build 7601; on success the three values are stored in the record and the
// outputs and 0 is returned, otherwise E_FAIL with the outputs left at those values. Any
// output pointer may be null.
HRESULT GetOsKind(OsRecord* record, INT* kind, INT* platformFlag, UINT* build);

// Windows Vista or later: kinds 2 to 11 (kind 12 counts as not).
bool IsVistaOrLater(const OsRecord& record);

// Windows 10 version 1703 or later: kind 10 or above and build 15063 or above.
bool IsWin10v1703OrLater(const OsRecord& record);

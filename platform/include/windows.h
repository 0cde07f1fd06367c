// The Win32 subset of the simulated machine. System code includes this exactly as on Windows.
#pragma once
#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winreg.h>
#include <wingdi.h>
#include <winuser.h>
#include <mmsystem.h>
#include <objbase.h>

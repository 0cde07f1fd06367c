// Filled in with the window system.
#pragma once
#include <windef.h>

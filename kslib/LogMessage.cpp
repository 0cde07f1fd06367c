// The library's trace output: a message goes to the debugger only when its level is within
// the verbosity threshold; the shipped threshold of 0 keeps the library silent.
#include <stdio.h>

#include "KsCommon.h"

LONG g_ksLogThreshold = 0;

void LogMessage(int level, const char* format, ...) {
  if (level > g_ksLogThreshold) return;
  char message[260];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);
  OutputDebugStringA(message);
}

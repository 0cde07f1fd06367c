// The user's ASIO settings under HKEY_CURRENT_USER\Software\ASIO\Velno-HD.
#include "AsioSample.h"

namespace {

// Reads a 4-byte REG_DWORD; values of another type or size do not count.
bool ReadDword(HKEY key, const char* name, LONG* value) {
  DWORD data = 0;
  DWORD size = sizeof data;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD || size != sizeof data) return false;
  *value = (LONG)data;
  return true;
}

void WriteDword(HKEY key, const char* name, LONG value) {
  DWORD data = (DWORD)value;
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

struct BlockSetting {
  const char* name;
  LONG StatusBlock::*field;
  LONG fallback;
};
const BlockSetting kBlockSettings[] = {
    {"BufferSize", &StatusBlock::reqBufferSize, 100},
    {"BitsPerSample", &StatusBlock::reqBits, 16},
    {"SupportSampleRate", &StatusBlock::rateMask, 2},
    {"SupporBitsPerSample", &StatusBlock::bitsMask, 2},
};

}  // namespace

void CAsioSample::LoadSettings() {
  HKEY asioKey = NULL;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ASIO", 0, KEY_ALL_ACCESS, &asioKey) != ERROR_SUCCESS) return;
  HKEY key = NULL;
  if (RegOpenKeyExA(asioKey, "Velno-HD", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    RegCloseKey(asioKey);
    return;
  }
  if (!ReadDword(key, "SampleRate", &deviceRate)) deviceRate = 44100;
  clockRate = deviceRate;
  if (BlockHasMagic(statusBlock) && BlockGet(statusBlock, &StatusBlock::settingsLoaded) == 0) {
    for (const BlockSetting& setting : kBlockSettings) {
      LONG value = 0;
      if (!ReadDword(key, setting.name, &value)) value = setting.fallback;
      BlockSet(statusBlock, setting.field, value);
    }
    BlockSet(statusBlock, &StatusBlock::settingsLoaded, 1);
    BlockSet(statusBlock, &StatusBlock::changed, 1);
  }
  RegCloseKey(key);
  RegCloseKey(asioKey);
}

void CAsioSample::SaveSettings() {
  HKEY asioKey = NULL;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ASIO", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                      &asioKey, NULL) != ERROR_SUCCESS)
    return;
  HKEY key = NULL;
  if (RegCreateKeyExA(asioKey, "Velno-HD", 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL) !=
      ERROR_SUCCESS) {
    RegCloseKey(asioKey);
    return;
  }
  WriteDword(key, "SampleRate", deviceRate);
  if (BlockHasMagic(statusBlock) && BlockGet(statusBlock, &StatusBlock::settingsLoaded) != 0) {
    for (const BlockSetting& setting : kBlockSettings) WriteDword(key, setting.name, BlockGet(statusBlock, setting.field));
  }
  RegCloseKey(key);
  RegCloseKey(asioKey);
}

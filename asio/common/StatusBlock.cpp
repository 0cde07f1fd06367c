#include "StatusBlock.h"

StatusBlock* MapStatusBlock(HANDLE* mapping, BOOL* created) {
  *created = FALSE;
  HANDLE handle = OpenFileMappingA(FILE_MAP_WRITE, FALSE, STATUS_BLOCK_NAME);
  if (handle == NULL || handle == INVALID_HANDLE_VALUE) {
    handle = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, STATUS_BLOCK_SIZE, STATUS_BLOCK_NAME);
    // Two first openers can race: the one that finds the mapping already there is not its creator.
    *created = handle != NULL && handle != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  *mapping = handle;
  if (handle == NULL || handle == INVALID_HANDLE_VALUE) {
    *mapping = NULL;
    *created = FALSE;
    return NULL;
  }
  StatusBlock* block = static_cast<StatusBlock*>(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (block == NULL) {
    *created = FALSE;
    return NULL;
  }
  if (*created) {
    memset(block, 0, STATUS_BLOCK_SIZE);
    BlockSet(block, &StatusBlock::magic, STATUS_BLOCK_MAGIC);
  }
  return block;
}

bool BlockHasMagic(const StatusBlock* block) {
  return block != NULL && BlockGet(block, &StatusBlock::magic) == STATUS_BLOCK_MAGIC;
}

bool BlockOwnedBy(const StatusBlock* block, REFGUID classId) {
  return BlockHasMagic(block) && memcmp(&block->owner, &classId, sizeof(GUID)) == 0;
}

bool ClaimBlock(StatusBlock* block, REFGUID classId, LONG state) {
  static const GUID kNobody = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  if (!BlockHasMagic(block) || memcmp(&block->owner, &kNobody, sizeof(GUID)) != 0) return false;
  memcpy(&block->owner, &classId, sizeof(GUID));
  BlockSet(block, &StatusBlock::state, state);
  BlockSet(block, &StatusBlock::changed, 1);
  return true;
}

void ReleaseBlock(StatusBlock* block, REFGUID classId) {
  if (!BlockOwnedBy(block, classId)) return;
  BlockSet(block, &StatusBlock::state, 0);
  memset(&block->owner, 0, sizeof(GUID));
  BlockSet(block, &StatusBlock::changed, 1);
}

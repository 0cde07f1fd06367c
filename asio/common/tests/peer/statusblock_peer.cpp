// A second process on the machine that opens the status block as a driver or the control
// panel does: `statusblock_peer read` prints what it sees, `statusblock_peer set FIELD VALUE`
// writes one field.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StatusBlock.h"

int main(int argc, char** argv) {
  HANDLE mapping = NULL;
  BOOL created = FALSE;
  StatusBlock* block = MapStatusBlock(&mapping, &created);
  if (block == NULL) {
    printf("{\"mapped\":false}\n");
    return 1;
  }
  if (argc == 4 && !strcmp(argv[1], "set")) {
    LONG value = atoi(argv[3]);
    if (!strcmp(argv[2], "reqBufferSize")) BlockSet(block, &StatusBlock::reqBufferSize, value);
    if (!strcmp(argv[2], "showRequest")) BlockSet(block, &StatusBlock::showRequest, value);
  }
  GUID nobody{};
  printf("{\"mapped\":true,\"created\":%s,\"magic\":%d,\"ownerIsNobody\":%s,\"reqBits\":%d,\"reqBufferSize\":%d}\n",
         created ? "true" : "false", (int)BlockGet(block, &StatusBlock::magic),
         memcmp(&block->owner, &nobody, sizeof nobody) == 0 ? "true" : "false", (int)BlockGet(block, &StatusBlock::reqBits),
         (int)BlockGet(block, &StatusBlock::reqBufferSize));
  return 0;
}

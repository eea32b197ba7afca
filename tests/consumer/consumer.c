/* A program built against an installed DataManager, through its public
 * header alone: writes the skin index and reads it back (the store is
 * opened on first use; a fresh store has no skin index yet). */
#include <stdio.h>

#include <DataManager.h>

int main(void) {
  DWORD index = 0;
  if (!SetSkinIndex(2) || !GetSkinIndex(&index) || index != 2) {
    fprintf(stderr, "consumer: the skin index was not kept (read %lu)\n", (unsigned long)index);
    return 1;
  }
  printf("skin index %lu\n", (unsigned long)index);
  return 0;
}

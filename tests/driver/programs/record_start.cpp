// Stands in for the control panel program in tests: records that it was started, and with
// which arguments, in <machine root>/program-starts.txt.
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const char* root = getenv("VELNO_MACHINE");
  if (root == nullptr) return 1;
  std::string path = std::string(root) + "/program-starts.txt";
  FILE* f = fopen(path.c_str(), "a");
  if (f == nullptr) return 1;
  fprintf(f, "%s", argv[0]);
  for (int i = 1; i < argc; ++i) fprintf(f, " %s", argv[i]);
  fprintf(f, "\n");
  fclose(f);
  return 0;
}

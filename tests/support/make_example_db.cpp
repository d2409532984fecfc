// Writes the bundled example database used by the README's first command.
#include <cstdio>

#include "support/builder/example_database.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example_db OUT.mdf\n");
    return 2;
  }
  pagewright::build::ExampleDatabase().WriteTo(argv[1]);
  return 0;
}

// Build step: writes the empty database templates (*.emp) of the program
// folder from the schema texts. Usage: rc_make_templates SCHEMA_DIR OUT_DIR
#include <cstdio>

#include "store/host_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rc_make_templates SCHEMA_DIR OUT_DIR\n");
    return 2;
  }
  rc::Status s = rc::makeTemplates(argv[1], argv[2]);
  if (!s) {
    std::fprintf(stderr, "rc_make_templates: %s\n", s.message().c_str());
    return 1;
  }
  return 0;
}

#include <cstdio>

#include "cli/command.h"
#include "store/host_builder.h"

namespace rc::cli {
namespace {

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  std::string schema = defaultSchemaFolder().string();
  takeOption(args, "--schema", schema);
  if (args.size() != 1) return usageError("usage: make-templates DIR [--schema DIR]");
  Status s = makeTemplates(schema, args[0]);
  if (!s) return failure(s.message());
  for (const HostDbLayout& l : hostDbLayouts())
    if (l.templateName) std::printf("%s/%s\n", args[0].c_str(), l.templateName);
  return 0;
}

const CommandRegistrar reg({"make-templates", "DIR [--schema DIR]",
                            "writes the empty host database templates (*.emp) from the schema texts", run});

}  // namespace
}  // namespace rc::cli

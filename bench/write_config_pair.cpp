// dorvex_config_pair SHAPE SOURCE SETTING [SETTING...]: writes a generated
// configuration pair (bench/config_generator.h) to the files SOURCE and
// SETTING, for measuring the console check; with several SETTING files, a
// source config and that many setting configs derived from it
// (generateConfigFleet). SHAPE is as parseShape() reads it, for example
// "rules=30000,many" or "lines=300000" or "rules=30000,one,seed=7".
#include <cstdio>
#include <string>

#include "config_generator.h"

namespace {

bool writeFile(const char* path, const std::string& text) {
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: dorvex_config_pair SHAPE SOURCE SETTING [SETTING...]\n"
                 "  SHAPE: key=value,... with keys rules, lists, namedPercent,\n"
                 "  standardPercent, onePermission, noisePercent, duplicatePercent,\n"
                 "  edgeCases, lines, seed; \"many\" or \"one\" pick a preset\n");
    return 2;
  }
  dorvex::bench::GeneratorShape shape;
  std::string error;
  std::string text = argv[1];
  if (!dorvex::bench::parseShape(text, shape, error)) {
    std::fprintf(stderr, "dorvex_config_pair: bad shape piece \"%s\"\n", error.c_str());
    return 2;
  }
  // "lines=N" alone means linesShape(N).
  if (text.rfind("lines=", 0) == 0 && text.find(',') == std::string::npos) {
    shape = dorvex::bench::linesShape(shape.lines);
  }
  bool written = true;
  if (argc == 4) {
    dorvex::bench::ConfigPair pair = dorvex::bench::generateConfigPair(shape);
    written = writeFile(argv[2], pair.source) && writeFile(argv[3], pair.setting);
  } else {
    dorvex::bench::ConfigFleet fleet = dorvex::bench::generateConfigFleet(shape, argc - 3);
    written = writeFile(argv[2], fleet.source);
    for (int k = 0; written && k < argc - 3; ++k)
      written = writeFile(argv[3 + k], fleet.settings[k]);
  }
  if (!written) {
    std::perror("dorvex_config_pair");
    return 2;
  }
  return 0;
}

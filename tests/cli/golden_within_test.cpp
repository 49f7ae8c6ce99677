// The within analysis of the example configurations that say where their
// lists are used: for each folder under tests/golden/within, the
// configuration examples/real/<folder>.cfg, and the details (--print
// details) and the findings view (--print findings) of `dorvex --within`,
// compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/driver_fixture.h"

namespace {

using dorvex::testing_files::Outcome;

class GoldenWithinTest : public dorvex::testing_files::DriverTest {};

TEST_F(GoldenWithinTest, EveryExampleMatchesItsExpectedFiles) {
  int cases = 0;
  for (const std::filesystem::path& folder : dorvex::testing_files::goldenCases("within")) {
    const std::string name = folder.filename().string() + ".cfg";
    SCOPED_TRACE(name);
    write(name, dorvex::testing_files::readBytes(std::filesystem::path(DORVEX_TEST_DATA) / ".." /
                                                 "examples" / "real" / name));
    for (const char* view : {"details", "findings"}) {
      Outcome r = run(std::string("-q --no-report --within --print ") + view + " " + name);
      EXPECT_EQ(1, r.status) << r.err;
      dorvex::testing_files::compareOrRegenerate(folder / (std::string(view) + ".txt"), r.out);
    }
    ++cases;
  }
  EXPECT_GE(cases, 1);
}

}  // namespace

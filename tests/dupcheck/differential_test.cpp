// The indexed duplication check against the plain pair loop: random
// generated configuration pairs of many shapes and seeds through both, and
// every result compared byte for byte (the details text, the pair count,
// every entry's flags, both summaries).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "checked_configs.h"
#include "config_generator.h"

namespace dorvex {
namespace {

using bench::ConfigPair;
using bench::GeneratorShape;

// The same two texts checked twice, once by pairs and once by the index,
// in the same modes.
struct CheckedPair {
  std::unique_ptr<CheckedConfigs> byPairs = CheckedConfigs::make();
  std::unique_ptr<CheckedConfigs> indexed = CheckedConfigs::make();
  CheckModes modes;

  void check(std::string_view source, std::string_view setting) {
    ASSERT_TRUE(byPairs->check(source, setting, true, modes));
    ASSERT_TRUE(indexed->check(source, setting, false, modes));
  }
};

// The full syntax with the exact cover: the index gives its candidates by
// the classic address tests, which the exact ones only narrow.
constexpr CheckModes kFullExact{Syntax::full, Cover::exact};

void expectSameFlags(const AclConfig& expected, const AclConfig& actual, const char* which) {
  ASSERT_EQ(expected.entryCount(), actual.entryCount()) << which;
  for (int k = 0; k < expected.entryCount(); ++k) {
    ASSERT_EQ(expected.entryAt(k)->flags, actual.entryAt(k)->flags)
        << which << " entry " << k << " (line " << expected.entryAt(k)->column << ")";
  }
}

void expectSameResults(const CheckedConfigs& expected, const CheckedConfigs& actual) {
  // EXPECT_EQ on megabyte texts prints them whole; compare first, then say where.
  std::string_view expectedDetails = expected.details.view();
  std::string_view actualDetails = actual.details.view();
  if (expectedDetails != actualDetails) {
    std::size_t at = 0;
    while (at < expectedDetails.size() && at < actualDetails.size() &&
           expectedDetails[at] == actualDetails[at]) {
      ++at;
    }
    std::size_t lineStart = expectedDetails.rfind('\n', at == 0 ? 0 : at - 1);
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    ADD_FAILURE() << "details differ at byte " << at << "; pair loop: \""
                  << expectedDetails.substr(lineStart, 120) << "\"; indexed: \""
                  << actualDetails.substr(lineStart, 120) << "\"";
  }
  EXPECT_EQ(expected.pairs, actual.pairs);
  expectSameFlags(expected.source, actual.source, "source");
  expectSameFlags(expected.setting, actual.setting, "setting");
  EXPECT_TRUE(expected.sourceSummary.view() == actual.sourceSummary.view());
  EXPECT_TRUE(expected.settingSummary.view() == actual.settingSummary.view());
}

void checkGenerated(CheckedPair& checked, const GeneratorShape& shape) {
  ConfigPair pair = bench::generateConfigPair(shape);
  checked.check(pair.source, pair.setting);
  expectSameResults(*checked.byPairs, *checked.indexed);
}

struct ShapeCase {
  const char* name;
  const char* shape;  // as bench::parseShape reads it
};

// Small enough for the pair loop to run fast, also under the sanitizers.
const ShapeCase kShapes[] = {
    {"many lists", "rules=800,many"},
    {"one list, one permission", "rules=600,one"},
    {"few lists, mostly named", "rules=500,lists=6,namedPercent=90,standardPercent=40"},
    {"standard lists only", "rules=400,lists=8,standardPercent=100"},
    {"all duplicates", "rules=400,lists=4,duplicatePercent=100"},
    {"no duplicates by copy", "rules=400,lists=4,duplicatePercent=0"},
    {"edge lines, many lists", "rules=600,many,edgeCases=1"},
    {"edge lines, one list", "rules=500,one,edgeCases=1"},
    {"edge lines, named", "rules=400,lists=5,namedPercent=100,edgeCases=1,noisePercent=30"},
    // The index scans a group of up to 256 source rules and hashes a larger
    // one: groups on both sides of that size, alone and side by side.
    {"one group of 256 rules", "rules=256,lists=1,onePermission=1,noisePercent=0"},
    {"one group of 257 rules", "rules=257,lists=1,onePermission=1,noisePercent=0"},
    {"groups about 256 rules", "rules=520,lists=2,onePermission=1"},
    {"groups about 256 rules, both permissions", "rules=1040,lists=2,edgeCases=1"},
    // Shapes that an index on addresses alone checks in quadratic time.
    {"one host, a port per rule", "rules=900,ports"},
    {"a wildcard per rule", "rules=900,masks"},
    {"a port per rule, scanned", "rules=200,ports"},
};

void checkEveryShape(CheckModes modes) {
  CheckedPair checked;
  checked.modes = modes;
  for (const ShapeCase& c : kShapes) {
    for (std::uint64_t seed = 1; seed <= 8; ++seed) {
      GeneratorShape shape;
      std::string error;
      ASSERT_TRUE(bench::parseShape(c.shape, shape, error)) << error;
      shape.seed = seed;
      SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
      checkGenerated(checked, shape);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(DifferentialTest, GeneratedPairsGiveTheSameResults) { checkEveryShape(CheckModes{}); }

TEST(DifferentialTest, GeneratedPairsGiveTheSameResultsInTheExactCover) {
  checkEveryShape(kFullExact);
}

TEST(DifferentialTest, GeneratedPairsFindDuplicates) {
  // The comparisons above prove little if nothing is found.
  CheckedPair checked;
  ConfigPair pair = bench::generateConfigPair(bench::manyListsShape(800, 3));
  checked.check(pair.source, pair.setting);
  EXPECT_GT(checked.indexed->pairs, 300);
  checked.modes = kFullExact;
  checked.check(pair.source, pair.setting);
  EXPECT_GT(checked.indexed->pairs, 100);
}

TEST(DifferentialTest, SettingAgainstItselfSwapped) {
  // The generated setting config as the source and the other way round.
  CheckedPair checked;
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    GeneratorShape shape = bench::manyListsShape(500, seed);
    shape.edgeCases = true;
    ConfigPair pair = bench::generateConfigPair(shape);
    checked.check(pair.setting, pair.source);
    expectSameResults(*checked.byPairs, *checked.indexed);
    checked.check(pair.source, pair.source);
    expectSameResults(*checked.byPairs, *checked.indexed);
  }
}

// Hand-made pairs for the subtle cases of the pair loop.
struct EdgeCase {
  const char* name;
  const char* source;
  const char* setting;
  const char* details;  // the expected details text
};

const EdgeCase kEdgeCases[] = {
    {"unset list numbers match each other",
     "access-list 10 permit any\nip access-list logging interval 10\n",
     "ip access-list log-update threshold 1\n", " ACL=-1 source-row=2 setting-row=1 \r\n"},
    {"unset list number after a standard list takes the standard path",
     "ip access-list log-update threshold 1\n",
     "ip access-list standard A\n permit any\nip access-list logging\n",
     " ACL=-1 source row=1 set row=3\r\n"},
    {"equal names at other name-table positions",
     "ip access-list extended X\n permit ip any any\nip access-list extended WEB\n"
     " permit tcp any host 10.1.1.1 eq www\n",
     "ip access-list extended WEB\n permit tcp any host 10.1.1.1 eq 80\n",
     " ACL=WEB source-row=4 setting-row=2 \r\n"},
    {"a name opened twice meets both lists",
     "ip access-list standard A\n permit 10.0.0.0 0.255.255.255\nip access-list standard B\n"
     " permit any\nip access-list standard A\n permit host 10.1.1.1\n",
     "ip access-list standard A\n permit host 10.1.1.1\n",
     " ACL=10000 source row=2 set row=2\r\n ACL=10002 source row=6 set row=2\r\n"},
    {"equal acl_no of different names never meet", "ip access-list standard A\n permit any\n",
     "ip access-list standard B\n permit any\n", ""},
    {"a named list never meets a numbered one", "access-list 10 permit any\n",
     "ip access-list standard 10\n permit any\nip access-list standard TEN\n permit any\n",
     " ACL=10 source row=1 set row=2\r\n"},
    {"the empty name meets the empty name", "ip access-list standard\n permit any\n",
     "ip access-list extended\n permit tcp any any eq 22\n",
     " ACL= source-row=2 setting-row=2 \r\n"},
    {"standard setting rule: the source address alone",
     "ip access-list extended N\n permit tcp 10.1.1.0 0.0.0.255 host 10.2.2.2 eq 80\n",
     "ip access-list standard N\n permit host 10.1.1.9\n", " ACL=10000 source row=2 set row=2\r\n"},
    {"extended setting rule against a standard source rule",
     "ip access-list standard N\n permit 10.1.0.0 0.0.255.255\n",
     "ip access-list extended N\n permit udp host 10.1.2.3 eq 53 any range 1 9\n",
     " ACL=N source-row=2 setting-row=2 \r\n"},
    {"error entries are left out",
     "access-list 101 permit tcp any any eq nosuch\naccess-list 101 permit ip any any\n",
     "access-list 101 permit tcp any any eq nosuch\naccess-list 101 permit ip any any\n",
     " ACL=101 source-row=2 setting-row=2 \r\n"},
    {"setting rules outer, source rules inner, several masks",
     "access-list 101 permit ip any host 10.0.0.1\naccess-list 101 permit ip 10.0.0.0 0.0.0.255 "
     "any\n"
     "access-list 101 permit ip any any\naccess-list 101 permit tcp host 10.0.0.5 any\n",
     "access-list 101 permit tcp host 10.0.0.5 host 10.0.0.1 eq 80\n"
     "access-list 101 permit icmp host 10.0.0.5 any echo\n",
     " ACL=101 source-row=1 setting-row=1 \r\n ACL=101 source-row=2 setting-row=1 \r\n"
     " ACL=101 source-row=3 setting-row=1 \r\n ACL=101 source-row=4 setting-row=1 \r\n"
     " ACL=101 source-row=2 setting-row=2 \r\n ACL=101 source-row=3 setting-row=2 \r\n"},
    {"ports and option words",
     "access-list 101 permit tcp any any range 1 1024\naccess-list 101 permit icmp any any echo\n"
     "access-list 101 permit tcp any any eq 80\n",
     "access-list 101 permit tcp any any eq www\naccess-list 101 permit icmp any any echo\n"
     "access-list 101 permit tcp any any\n",
     " ACL=101 source-row=1 setting-row=1 \r\n ACL=101 source-row=3 setting-row=1 \r\n"
     " ACL=101 source-row=2 setting-row=2 option-word=echo \r\n"},
    {"permit against deny", "access-list 10 permit any\n", "access-list 10 deny any\n", ""},
};

TEST(DifferentialTest, SubtleCasesOfThePairLoop) {
  CheckedPair checked;
  for (const EdgeCase& c : kEdgeCases) {
    SCOPED_TRACE(c.name);
    checked.check(c.source, c.setting);
    EXPECT_EQ(c.details, checked.byPairs->details.view());
    expectSameResults(*checked.byPairs, *checked.indexed);
  }
}

// The same cases in the exact cover: the index and the pair loop agree
// whatever each finds.
TEST(DifferentialTest, SubtleCasesInTheExactCover) {
  CheckedPair checked;
  checked.modes = kFullExact;
  for (const EdgeCase& c : kEdgeCases) {
    SCOPED_TRACE(c.name);
    checked.check(c.source, c.setting);
    expectSameResults(*checked.byPairs, *checked.indexed);
  }
}

}  // namespace
}  // namespace dorvex

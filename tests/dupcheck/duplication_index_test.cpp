// The duplication index on its own: for every setting entry of generated
// configuration pairs, the candidates of a scanned group and of a hashed
// group must be those of a plain walk over the source table (which tests
// the ports for a hashed group only), the same entries in the same order.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "checked_configs.h"
#include "config_generator.h"
#include "dupcheck/duplication_index.h"
#include "dupcheck/rule_cover.h"

namespace dorvex {
namespace {

// What the index promises for the setting entry at `s`: every source entry
// without the error bit, of the same list (a named one by its name) and
// permission, whose source address test passes and, unless the setting
// entry is a standard rule, whose destination address test passes too and,
// with `ports` (a hashed group), each of whose "eq" port operands covers the
// setting entry's.
std::vector<int> walkedCandidates(const AclConfig& source, const AclConfig& setting, int s,
                                  bool ports) {
  std::vector<int> result;
  const AclEntry& rule = *setting.entryAt(s);
  if (rule.flags & kErrorBit) return result;
  for (int r = 0; r < source.entryCount(); ++r) {
    const AclEntry& entry = *source.entryAt(r);
    if (entry.flags & kErrorBit) continue;
    const bool named = rule.acl_no >= kNamedListBase;
    if (named != (entry.acl_no >= kNamedListBase)) continue;
    if (named ? setting.nameView(rule.acl_no - kNamedListBase) !=
                    source.nameView(entry.acl_no - kNamedListBase)
              : rule.acl_no != entry.acl_no) {
      continue;
    }
    if (rule.permission != entry.permission) continue;
    if (!addressCovers(entry.source, entry.mask_s, rule.source)) continue;
    if (rule.type != kStandardRule) {
      if (!addressCovers(entry.destin, entry.mask_d, rule.destin)) continue;
      if (!ports) {
        result.push_back(r);
        continue;
      }
      if (entry.sp_typ == kPortEq &&
          !portsCover(kPortEq, entry.sp_low, entry.sp_hig, rule.sp_typ, rule.sp_low, rule.sp_hig)) {
        continue;
      }
      if (entry.dp_typ == kPortEq &&
          !portsCover(kPortEq, entry.dp_low, entry.dp_hig, rule.dp_typ, rule.dp_low, rule.dp_hig)) {
        continue;
      }
    }
    result.push_back(r);
  }
  return result;
}

const char* const kShapes[] = {
    "rules=800,many",
    "rules=600,one",
    "rules=500,lists=6,namedPercent=90,standardPercent=40",
    "rules=400,lists=8,standardPercent=100,edgeCases=1",
    "rules=520,lists=2,onePermission=1,noisePercent=20",
    // One host with a port per rule, and a wildcard per rule.
    "rules=700,ports",
    "rules=700,masks",
};

TEST(DuplicationIndexTest, ScannedHashedAndWalkedCandidatesAgree) {
  auto configs = CheckedConfigs::make();
  int compared = 0;
  for (const char* text : kShapes) {
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
      bench::GeneratorShape shape;
      std::string error;
      ASSERT_TRUE(bench::parseShape(text, shape, error)) << error;
      shape.seed = seed;
      SCOPED_TRACE(std::string(text) + ", seed " + std::to_string(seed));
      bench::ConfigPair pair = bench::generateConfigPair(shape);
      ASSERT_TRUE(configs->parse(pair.source, pair.setting));
      const AclConfig& source = configs->source;
      const AclConfig& setting = configs->setting;
      DuplicationIndex scanned, hashed;
      scanned.build(source, setting, Cover::classic, INT_MAX);
      hashed.build(source, setting, Cover::classic, 0);
      for (int s = 0; s < setting.entryCount(); ++s) {
        const std::vector<int> expected = walkedCandidates(source, setting, s, false);
        ASSERT_EQ(expected, scanned.candidates(s)) << "setting entry " << s;
        ASSERT_EQ(walkedCandidates(source, setting, s, true), hashed.candidates(s))
            << "setting entry " << s;
        compared += expected.empty() ? 0 : 1;
      }
    }
  }
  // The shapes make many duplicates: most setting rules have candidates.
  EXPECT_GT(compared, 3000);
}

// Lookups out of order, or of entries outside the table, give the same
// answers as lookups in order.
TEST(DuplicationIndexTest, LookupsInAnyOrder) {
  bench::GeneratorShape shape;
  std::string error;
  ASSERT_TRUE(bench::parseShape("rules=600,one", shape, error)) << error;
  bench::ConfigPair pair = bench::generateConfigPair(shape);
  auto configs = CheckedConfigs::make();
  ASSERT_TRUE(configs->parse(pair.source, pair.setting));
  const AclConfig& source = configs->source;
  const AclConfig& setting = configs->setting;
  DuplicationIndex index;
  index.build(source, setting, Cover::classic, 0);
  const int count = setting.entryCount();
  for (int s = count - 1; s >= 0; s -= 7) {
    EXPECT_EQ(walkedCandidates(source, setting, s, true), index.candidates(s))
        << "setting entry " << s;
  }
  EXPECT_TRUE(index.candidates(-1).empty());
  EXPECT_TRUE(index.candidates(count + 1).empty());
}

}  // namespace
}  // namespace dorvex

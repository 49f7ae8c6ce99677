// The duplication index on its own: for every setting entry of generated
// configuration pairs, the candidates of a scanned group, of a hashed group
// and of a plain walk over the source table must be the same entries in the
// same order.
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
// entry is a standard rule, whose destination address test passes too.
std::vector<int> walkedCandidates(const AclConfig& source, const AclConfig& setting, int s) {
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
    if (rule.type != kStandardRule && !addressCovers(entry.destin, entry.mask_d, rule.destin)) continue;
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
      scanned.build(source, setting, INT_MAX);
      hashed.build(source, setting, 0);
      for (int s = 0; s < setting.entryCount(); ++s) {
        const std::vector<int> expected = walkedCandidates(source, setting, s);
        ASSERT_EQ(expected, scanned.candidates(s)) << "setting entry " << s;
        ASSERT_EQ(expected, hashed.candidates(s)) << "setting entry " << s;
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
  index.build(source, setting, 0);
  const int count = setting.entryCount();
  for (int s = count - 1; s >= 0; s -= 7) {
    EXPECT_EQ(walkedCandidates(source, setting, s), index.candidates(s)) << "setting entry " << s;
  }
  EXPECT_TRUE(index.candidates(-1).empty());
  EXPECT_TRUE(index.candidates(count + 1).empty());
}

}  // namespace
}  // namespace dorvex

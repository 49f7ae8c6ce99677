#include "dupcheck/pair_test.h"

#include <string_view>

#include "dupcheck/option_cover.h"
#include "dupcheck/rule_boxes.h"
#include "dupcheck/rule_cover.h"

namespace dorvex {

bool PairTest::sameName(const AclEntry& setting, const AclEntry& source) {
  if (setting.acl_no != lastNames.setting || source.acl_no != lastNames.source) {
    lastNames = NamePair{setting.acl_no, source.acl_no,
                         settingConfig.nameView(setting.acl_no - kNamedListBase) ==
                             sourceConfig.nameView(source.acl_no - kNamedListBase)};
  }
  return lastNames.same;
}

bool PairTest::needsSpace(int sourceIndex, int settingIndex) const {
  return sourceConfig.matchAt(sourceIndex) != nullptr ||
         settingConfig.matchAt(settingIndex) != nullptr ||
         hasFullOptions(*sourceConfig.optionsAt(sourceIndex)) ||
         hasFullOptions(*settingConfig.optionsAt(settingIndex));
}

bool PairTest::spaceCoversPair(int sourceIndex, int settingIndex) {
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  return source.permission == setting.permission &&
         spaceCovers(ruleSpaceOf(sourceConfig, sourceIndex),
                     ruleSpaceOf(settingConfig, settingIndex));
}

bool PairTest::exactlyCovers(int sourceIndex, int settingIndex) {
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  if (!isReadRule(source) || !isReadRule(setting)) return false;
  const RuleOptions& sourceOptions = *sourceConfig.optionsAt(sourceIndex);
  const RuleOptions& settingOptions = *settingConfig.optionsAt(settingIndex);
  // Classic fields are compared field by field (the index finds source
  // rules by them); the options word by word only as a fast path: what
  // that does not cover ("syn" over "syn ack", "established" over "ack",
  // a precedence over a DSCP value in it), the packet space decides. A
  // time-range is covered only by the same one.
  const bool space = needsSpace(sourceIndex, settingIndex);
  if (!space && !exactRuleCovers(source, setting)) return false;
  if ((space || !optionsCover(sourceOptions, settingOptions)) &&
      (!spaceCoversPair(sourceIndex, settingIndex) ||
       !(sourceOptions.timeRange.empty() || sourceOptions.timeRange == settingOptions.timeRange))) {
    return false;
  }
  const std::string_view unknown =
      sourceOptions.unknown.empty() ? settingOptions.unknown : sourceOptions.unknown;
  if (unknown.empty()) return true;
  details.writeNotCovered(source, setting, unknown);
  return false;
}

void PairTest::test(int settingIndex, int sourceIndex) {
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  constexpr unsigned kNeverCompared = kErrorBit | kNotReadBit;
  if ((setting.flags & kNeverCompared) || (source.flags & kNeverCompared)) return;
  const bool named = setting.acl_no >= kNamedListBase;
  if (setting.acl_no != source.acl_no && !(named && source.acl_no >= kNamedListBase)) return;
  if (named && !sameName(setting, source)) return;
  // IPv4 and IPv6 lists of one name are two lists.
  if ((setting.type == kIpv6Rule) != (source.type == kIpv6Rule)) return;
  bool covered;
  if (cover == Cover::exact) {
    covered = exactlyCovers(sourceIndex, settingIndex);
  } else if (needsSpace(sourceIndex, settingIndex)) {
    // Sets and IPv6 have no classic fields to compare: what they match
    // decides in either cover.
    covered = spaceCoversPair(sourceIndex, settingIndex);
  } else {
    covered = ruleCovers(source, setting);
  }
  if (!covered) return;
  settingConfig.markEntry(settingIndex, kDuplicateBit);
  sourceConfig.markEntry(sourceIndex, kDuplicateBit);
  ++pairs;
  if (record) record->push_back(DuplicatePair{sourceIndex, settingIndex});
  if (setting.type == kStandardRule) {
    details.writeStandard(source, setting);
  } else if (details.writeExtended(source, setting)) {
    settingConfig.markEntry(settingIndex, kOptionBit);
    sourceConfig.markEntry(sourceIndex, kOptionBit);
  }
}

}  // namespace dorvex

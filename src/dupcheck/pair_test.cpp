#include "dupcheck/pair_test.h"

#include <string_view>

#include "dupcheck/option_cover.h"
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

bool PairTest::exactlyCovers(int sourceIndex, int settingIndex) {
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  if (!isReadRule(source) || !isReadRule(setting) || !exactRuleCovers(source, setting)) {
    return false;
  }
  const RuleOptions& sourceOptions = *sourceConfig.optionsAt(sourceIndex);
  const RuleOptions& settingOptions = *settingConfig.optionsAt(settingIndex);
  if (!optionsCover(sourceOptions, settingOptions)) return false;
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
  if (cover == Cover::exact ? !exactlyCovers(sourceIndex, settingIndex)
                            : !ruleCovers(source, setting)) {
    return;
  }
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

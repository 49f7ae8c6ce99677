#include "dupcheck/pair_test.h"

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

void PairTest::test(int settingIndex, int sourceIndex) {
  const AclEntry& setting = *settingConfig.entryAt(settingIndex);
  const AclEntry& source = *sourceConfig.entryAt(sourceIndex);
  if ((setting.flags & kErrorBit) || (source.flags & kErrorBit)) return;
  const bool named = setting.acl_no >= kNamedListBase;
  if (setting.acl_no != source.acl_no && !(named && source.acl_no >= kNamedListBase)) return;
  if (named && !sameName(setting, source)) return;
  if (!ruleCovers(source, setting)) return;
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

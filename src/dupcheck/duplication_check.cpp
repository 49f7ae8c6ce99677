#include "dupcheck/duplication_check.h"

#include "dupcheck/duplication_index.h"

namespace dorvex {

long long findDuplications(AclConfig& source, AclConfig& setting, TextCursor& details,
                           std::vector<DuplicatePair>* record, Cover cover,
                           std::vector<ListVerdict>* verdicts) {
  if (cover == Cover::list) return checkListCover(source, setting, details, record, verdicts);
  // The index finds, for each setting rule, the source rules that pass the
  // list, permission and classic address tests, and the port keys of the
  // cover, in table order; the whole pair test then decides, so the pairs
  // and their order are those of the pair loop. The exact address test is
  // the classic one and more, so the address candidates serve both covers.
  DuplicationIndex index;
  index.build(source, setting, cover);
  PairTest pairs(source, setting, details, record, cover);
  const int settingCount = setting.entryCount();
  for (int s = 0; s < settingCount; ++s) {
    for (int r : index.candidates(s)) pairs.test(s, r);
  }
  return pairs.pairCount();
}

long long findDuplicationsByPairs(AclConfig& source, AclConfig& setting, TextCursor& details,
                                  std::vector<DuplicatePair>* record, Cover cover,
                                  std::vector<ListVerdict>* verdicts) {
  if (cover == Cover::list) return checkListCover(source, setting, details, record, verdicts);
  PairTest pairs(source, setting, details, record, cover);
  const int settingCount = setting.entryCount();
  const int sourceCount = source.entryCount();
  for (int s = 0; s < settingCount; ++s) {
    for (int r = 0; r < sourceCount; ++r) pairs.test(s, r);
  }
  return pairs.pairCount();
}

}  // namespace dorvex

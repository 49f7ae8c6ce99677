// PairTest: the whole test of one pair of a duplication check, a setting
// rule against a source rule, and what a duplicate pair leaves behind.
//
// A pair is a duplicate when neither entry is in error or left unread
// (kNotReadBit), both belong to the same list (numbered lists by number,
// named lists by name, so that equal names meet wherever they stand in the
// name tables) and the source rule covers the setting rule: by ruleCovers()
// in the classic cover; in the exact cover both must be rules the parser
// read, and exactRuleCovers() and optionsCover() decide. Its entries are
// then marked with kDuplicateBit, and with kOptionBit too when they share an
// option word; its details line is written and the pair counted.
//
// A pair of rules of which either has sets, IPv6 addresses or the full
// syntax's option restrictions is decided by what the rules match
// (rule_boxes.h spaceCovers()), in either cover; an IPv6 list never meets
// an IPv4 list of its name.
//
// In the exact cover, a pair that would be a duplicate but for an option
// word that is not understood (on either rule: on the source rule it may
// restrict it, on the setting rule widen it) is no duplicate; it gets a
// details line that says so (DetailsWriter::writeNotCovered()).
#ifndef DORVEX_DUPCHECK_PAIR_TEST_H_
#define DORVEX_DUPCHECK_PAIR_TEST_H_

#include <vector>

#include "dupcheck/details_writer.h"
#include "parser/acl_config.h"
#include "parser/check_modes.h"
#include "text/text_cursor.h"

namespace dorvex {

// A duplicate pair by the indexes of its entries.
struct DuplicatePair {
  int sourceEntry;
  int settingEntry;
};

class PairTest {
 public:
  // Tests pairs of `setting` and `source` entries, marking both
  // configurations and appending details lines to `details`, and each
  // duplicate pair to `record` when one is given. All must outlive the test.
  // `cover` chooses the cover test.
  PairTest(AclConfig& source, AclConfig& setting, TextCursor& details,
           std::vector<DuplicatePair>* record = nullptr, Cover cover = Cover::classic)
      : sourceConfig(source),
        settingConfig(setting),
        details(source, setting, details),
        record(record),
        cover(cover) {}
  PairTest(const PairTest&) = delete;
  PairTest& operator=(const PairTest&) = delete;

  // Tests the setting entry at `settingIndex` against the source entry at
  // `sourceIndex` and records the pair when it is a duplicate.
  // REQUIRES: both indexes are entries of their configurations.
  void test(int settingIndex, int sourceIndex);

  // Duplicate pairs recorded so far.
  long long pairCount() const { return pairs; }

 private:
  // True iff the named lists of the two entries have equal names.
  bool sameName(const AclEntry& setting, const AclEntry& source);
  // The exact cover test of a pair of the same list, by entry indexes.
  bool exactlyCovers(int sourceIndex, int settingIndex);
  // Whether either rule of the pair has what only its boxes can compare:
  // a RuleMatch (sets, IPv6) or options of the full syntax (ttl,
  // match-any, match-all).
  bool needsSpace(int sourceIndex, int settingIndex) const;
  // The same permission, and every packet of the setting rule's space in
  // the source rule's (rule_boxes.h).
  bool spaceCoversPair(int sourceIndex, int settingIndex);

  AclConfig& sourceConfig;
  AclConfig& settingConfig;
  DetailsWriter details;
  std::vector<DuplicatePair>* record;
  const Cover cover;
  long long pairs = 0;
  // The last pair of named lists compared (their acl_no in the setting and
  // the source config), and whether their names are equal: a setting rule
  // meets the rules of one source list after the other, so the names are
  // compared once for each pair of lists.
  struct NamePair {
    int setting = kNotSet;
    int source = kNotSet;
    bool same = false;
  } lastNames;
};

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_PAIR_TEST_H_

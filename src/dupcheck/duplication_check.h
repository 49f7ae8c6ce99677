// The duplication check: every setting rule against every source rule of the
// same list and permission (PairTest), with a details line for each
// duplicate pair. Two ways give the same result byte for byte: the check
// itself runs on a DuplicationIndex; the plain pair loop is kept as its
// reference for the tests and the benchmarks.
#ifndef DORVEX_DUPCHECK_DUPLICATION_CHECK_H_
#define DORVEX_DUPCHECK_DUPLICATION_CHECK_H_

#include <vector>

#include "dupcheck/list_check.h"
#include "dupcheck/pair_test.h"
#include "parser/acl_config.h"
#include "parser/check_modes.h"
#include "text/text_cursor.h"

namespace dorvex {

// Tests every setting entry, in table order, against every source entry, in
// table order: marks the duplicated entries (and those sharing an option
// word with a partner) in both configurations and appends one details line
// per duplicate pair to `details`, and the pairs in the same order to
// `record` when one is given. `cover` chooses the cover test (PairTest).
// Returns the number of duplicate pairs. The list cover holds each setting
// rule against a whole source list instead (checkListCover() of
// list_check.h, its verdicts into `verdicts` when given) and returns the
// number of setting rules covered.
// REQUIRES: both configurations are parsed (AclConfig::checkConfig()).
long long findDuplications(AclConfig& source, AclConfig& setting, TextCursor& details,
                           std::vector<DuplicatePair>* record = nullptr,
                           Cover cover = Cover::classic,
                           std::vector<ListVerdict>* verdicts = nullptr);

// The same by testing every pair, not only those the index finds (the list
// cover has one way only).
long long findDuplicationsByPairs(AclConfig& source, AclConfig& setting, TextCursor& details,
                                  std::vector<DuplicatePair>* record = nullptr,
                                  Cover cover = Cover::classic,
                                  std::vector<ListVerdict>* verdicts = nullptr);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_DUPLICATION_CHECK_H_

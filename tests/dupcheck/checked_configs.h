// Two configurations parsed and checked for duplications, with the three
// result texts: what the tests of the duplication check use instead of a
// workspace. The result texts start small, so that every writer grows them.
#ifndef DORVEX_TESTS_DUPCHECK_CHECKED_CONFIGS_H_
#define DORVEX_TESTS_DUPCHECK_CHECKED_CONFIGS_H_

#include <memory>
#include <string_view>
#include <vector>

#include "dupcheck/duplication_check.h"
#include "dupcheck/summary_listing.h"
#include "parser/acl_config.h"
#include "text/text_cursor.h"

namespace dorvex {

struct CheckedConfigs {
  AclConfig source;
  AclConfig setting;
  TextCursor details;
  TextCursor sourceSummary;
  TextCursor settingSummary;
  long long pairs = -1;
  std::vector<DuplicatePair> record;  // the pairs, as the check recorded them

  // The tables are large: made on the heap.
  static std::unique_ptr<CheckedConfigs> make() { return std::make_unique<CheckedConfigs>(); }

  // Parses both texts in `syntax`, with fresh empty result texts. False
  // when a text cannot be loaded.
  bool parse(std::string_view sourceText, std::string_view settingText,
             Syntax syntax = Syntax::classic) {
    pairs = -1;
    if (!source.reset(sourceText, true, syntax) || !setting.reset(settingText, true, syntax)) {
      return false;
    }
    if (!details.allocate(16) || !sourceSummary.allocate(16) || !settingSummary.allocate(16)) {
      return false;
    }
    source.checkConfig();
    setting.checkConfig();
    return true;
  }

  // Parses both texts, runs the indexed check (or the pair loop) and writes
  // both summaries, as a check in `modes` does.
  bool check(std::string_view sourceText, std::string_view settingText, bool byPairs = false,
             CheckModes modes = {}) {
    if (!parse(sourceText, settingText, modes.syntax)) return false;
    record.clear();
    pairs = byPairs ? findDuplicationsByPairs(source, setting, details, &record, modes.cover)
                    : findDuplications(source, setting, details, &record, modes.cover);
    writeSummary(source, sourceSummary);
    writeSummary(setting, settingSummary);
    return true;
  }
};

}  // namespace dorvex

#endif  // DORVEX_TESTS_DUPCHECK_CHECKED_CONFIGS_H_

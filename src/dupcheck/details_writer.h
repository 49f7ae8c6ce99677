// DetailsWriter: the details text of a duplication check, one line for each
// duplicate pair, appended in the order the pairs are found.
//
//   standard setting rule: " ACL=<acl_no> source row=<line> set row=<line>\r\n"
//   any other:             " ACL=<list> source-row=<line> setting-row=<line> "
//                          "option-word=<word> " for each shared option word, "\r\n"
//
// and, in the exact cover only, for a pair left undecided by an option word
// that is not understood (it is no duplicate):
//                          " ACL=<list> source-row=<line> setting-row=<line> "
//                          "not-covered unknown-word=<word> \r\n"
//
// where <list> is the list number, or the name of a named list. The lines
// are written straight into the details text as the pairs come (a check can
// find millions of them) and are complete in it once the writer is gone;
// until then nothing else may use the details text.
#ifndef DORVEX_DUPCHECK_DETAILS_WRITER_H_
#define DORVEX_DUPCHECK_DETAILS_WRITER_H_

#include <string_view>

#include "parser/acl_config.h"
#include "text/text_cursor.h"
#include "text/text_writer.h"

namespace dorvex {

// Calls `each` with every option word the two rules share, as often as a
// details line names it: every equal pair of words, the setting rule's words
// first. The one loop over shared words, for the details and every other
// writer that names them.
template <typename Each>
void forEachSharedWord(const AclConfig& sourceConfig, const AclEntry& source,
                       const AclConfig& settingConfig, const AclEntry& setting, Each each) {
  if (setting.option_idx == kNotSet || source.option_idx == kNotSet) return;
  for (int s = setting.option_idx; !settingConfig.nameView(s).empty(); ++s) {
    const std::string_view word = settingConfig.nameView(s);
    for (int r = source.option_idx; !sourceConfig.nameView(r).empty(); ++r) {
      if (sourceConfig.nameView(r) == word) each(word);
    }
  }
}

class DetailsWriter {
 public:
  // Appends to `details`; the entries passed in later come from `source` and
  // `setting`, whose names the lines show. All three must outlive the writer.
  DetailsWriter(const AclConfig& source, const AclConfig& setting, TextCursor& details)
      : sourceConfig(source), settingConfig(setting), out(&details) {}
  DetailsWriter(const DetailsWriter&) = delete;
  DetailsWriter& operator=(const DetailsWriter&) = delete;

  // The line of a pair whose setting rule is a standard rule.
  void writeStandard(const AclEntry& source, const AclEntry& setting);
  // The line of any other pair. Returns true iff it names an option word,
  // that is iff the two rules share one.
  bool writeExtended(const AclEntry& source, const AclEntry& setting);
  // The line of a pair that an option word `word` left undecided.
  void writeNotCovered(const AclEntry& source, const AclEntry& setting, std::string_view word);

 private:
  // " ACL=<list> source-row=<line> setting-row=<line> ".
  void writePairStart(const AclEntry& source, const AclEntry& setting);

  const AclConfig& sourceConfig;
  const AclConfig& settingConfig;
  TextWriter out;
};

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_DETAILS_WRITER_H_

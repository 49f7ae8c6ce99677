// CheckWorkspace: the one object that holds the state of a check: the two
// parsed configurations (source from the left pane, setting from the right)
// and the three result texts of the duplication check. Every check reuses
// it; the results of the last check stay here until the next load, and the
// front ends copy them out as often as they like.
#ifndef DORVEX_WORKSPACE_CHECK_WORKSPACE_H_
#define DORVEX_WORKSPACE_CHECK_WORKSPACE_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dupcheck/change_review.h"
#include "dupcheck/list_check.h"
#include "dupcheck/pair_test.h"
#include "parser/acl_config.h"
#include "parser/check_modes.h"
#include "text/text_cursor.h"
#include "workspace/check_run.h"

namespace dorvex {

// A pair of texts to show side by side. Any value other than analysis
// selects summary.
enum class ResultView : std::uint8_t {
  summary = 0,   // sourceSummary | settingSummary
  analysis = 1,  // annotated text of sourceConfig | of settingConfig
};

class CheckWorkspace {
 public:
  // Starting size of each result text; the texts grow beyond it as needed.
  static constexpr std::size_t kResultTextSize = 2000000;

  CheckWorkspace() = default;
  CheckWorkspace(const CheckWorkspace&) = delete;
  CheckWorkspace& operator=(const CheckWorkspace&) = delete;
  virtual ~CheckWorkspace() = default;

  // Loads the two texts (each up to its first NUL) for a new check in
  // `modes`: both configurations reset to be read in modes.syntax, the
  // result texts fresh and empty, and the duplication check to use
  // modes.cover. Without `analysisText`, the check leaves the annotated
  // texts (the analysis view) empty and every other result as it would be.
  // With modes.within, an empty setting text is one configuration alone
  // (single()): it is parsed and analysed, and nothing is compared.
  // Returns false, changing nothing, when a text that must be there is
  // empty. A buffer
  // that cannot be had throws as TextCursor says (std::bad_alloc,
  // std::length_error), the earlier steps then staying done; runCheck() is
  // the one place that catches.
  bool load(std::string_view sourceText, std::string_view settingText, bool analysisText = true,
            CheckModes modes = {});
  // The modes of the last load().
  const CheckModes& modes() const { return checkModes; }
  // Whether the last load() took one configuration alone.
  bool single() const { return singleConfig; }

  // Copies the two texts of `view` into the caller's buffers. A text that
  // does not fit its buffer with its NUL, or that does not exist yet, leaves
  // that buffer untouched. Returns true.
  bool copyViews(ResultView view, char* left, std::size_t leftCapacity, char* right,
                 std::size_t rightCapacity) const;
  // The two texts of `view` themselves (empty before the first load), so
  // that a caller can size its buffers to them.
  std::string_view leftText(ResultView view) const;
  std::string_view rightText(ResultView view) const;

  // Runs the statement parser over the source config and then over the
  // setting config, writing a progress line before each to `console` (may
  // be null). Returns true; throws as load() does.
  bool checkConfigs(ProgressSink* console);

  // Compares every setting rule with every source rule (findDuplications()
  // of dupcheck/duplication_check.h): marks duplicated rules (and those
  // sharing an option word with a partner) in both tables, writes
  // duplicationDetails, then both summary listings. Writes
  // "duplication check....\r\n" to `console` first (may be null). With
  // modes.within, then analyses each configuration's lists into
  // withinDetails; of one configuration alone, only that.
  // REQUIRES: checkConfigs() has run since load(). Returns true; throws as
  // load() does.
  bool checkDuplicates(ProgressSink* console);
  // The same result by testing every pair; kept as the reference for the
  // indexed check and in the benchmarks.
  bool checkDuplicatesByPairs(ProgressSink* console);

  // Appends the summary listing of `config` to `output` (writeSummary() of
  // dupcheck/summary_listing.h). Returns true.
  bool writeSummary(AclConfig& config, TextCursor& output);

  // Builds the report text from the result texts into `dest` (with its NUL)
  // when it fits `capacity`; false, `dest` untouched, when it does not.
  bool buildReport(char* dest, std::size_t capacity, std::string_view sourceName,
                   std::string_view settingName);
  // The report text, of any length. Its header has a line naming the check
  // modes, "Check Modes  [Syntax=full] [Cover=exact]", only when they are
  // not the default.
  std::string reportText(std::string_view sourceName, std::string_view settingName);
  // The report text as its pieces in order, for writing them one after the
  // other rather than joining them: views of the result texts and of
  // `lines`, which the call fills with the header (dated `date`, "MM/DD/YY")
  // and file-name lines. The views stay valid while `lines` and the result
  // texts are unchanged.
  std::vector<std::string_view> reportPieces(std::string_view date, std::string_view sourceName,
                                             std::string_view settingName, std::string& lines);

  // Runs a whole check from two texts to the report file (see check_run.h).
  CheckResult runCheck(const CheckRequest& request, CheckFrontEnd& frontEnd);

  // Number of duplicate pairs the last checkDuplicates() found; in the list
  // cover, of setting rules covered.
  long long duplicationCount() const { return duplicationPairs; }
  // With `record`, later checks keep their duplicate pairs in the order of
  // the details lines, for duplicatePairs(); a caller that does not need
  // them saves their memory. Off at start.
  void recordPairs(bool record) { recordingPairs = record; }
  const std::vector<DuplicatePair>& duplicatePairs() const { return pairRecord; }
  // In the list cover, always recorded (the exit status counts them): the
  // verdict of every setting rule read, in table order
  // (dupcheck/list_check.h).
  const std::vector<ListVerdict>& listVerdicts() const { return verdictRecord; }
  // Of those, the setting rules of each kind.
  long long verdictCount(ListVerdictKind kind) const {
    return std::count_if(verdictRecord.begin(), verdictRecord.end(),
                         [kind](const ListVerdict& v) { return v.kind == kind; });
  }
  // With modes.within, recorded alike: the findings of each configuration.
  const std::vector<WithinFinding>& sourceWithin() const { return withinRecord[0]; }
  const std::vector<WithinFinding>& settingWithin() const { return withinRecord[1]; }
  // Lines the last within analysis found unreachable or redundant.
  long long withinCount() const { return withinLines; }
  // The lines of withinDetails that name the source config, and those that
  // name the setting config: a front end shows each beside its own
  // configuration. Empty without modes.within; the setting's also of one
  // configuration alone.
  std::string_view sourceWithinText() const;
  std::string_view settingWithinText() const;
  // With modes.diff, recorded alike: what the setting config changes.
  const std::vector<ChangeRecord>& changes() const { return changeRecord; }
  // Lines of changeDetails: 0 when no decision changed.
  long long changeCount() const { return changeLines; }
  // The names the two configurations' lines go by in reasons
  // ("setting.cfg:12 not read").
  void setFileNames(std::string_view source, std::string_view setting) {
    sourceConfig.setFileName(source);
    settingConfig.setFileName(setting);
  }

  // The local date and time used for the report, "MM/DD/YY" and "HH:MM:SS".
  // Tests replace it to make the report name and header predictable.
  using Clock = void (*)(std::string& date, std::string& time);
  void setClock(Clock clock) { localClock = clock; }

  AclConfig sourceConfig;
  AclConfig settingConfig;
  TextCursor sourceSummary;
  TextCursor settingSummary;
  TextCursor duplicationDetails;
  TextCursor withinDetails;
  TextCursor changeDetails;

 private:
  CheckModes checkModes;
  long long duplicationPairs = 0;
  bool recordingPairs = false;
  std::vector<DuplicatePair> pairRecord;
  std::vector<ListVerdict> verdictRecord;
  std::vector<WithinFinding> withinRecord[2];
  std::vector<ChangeRecord> changeRecord;
  long long changeLines = 0;
  long long withinLines = 0;
  // Where the setting config's lines start in withinDetails.
  std::size_t withinSettingStart = 0;
  bool singleConfig = false;
  // The within analysis of both configurations, or of the one.
  void analyseWithin();
  Clock localClock = nullptr;
};

// Standard-library local date ("MM/DD/YY") and time ("HH:MM:SS").
void readLocalClock(std::string& date, std::string& time);

}  // namespace dorvex

#endif  // DORVEX_WORKSPACE_CHECK_WORKSPACE_H_

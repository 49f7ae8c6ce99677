#include "dupcheck/change_review.h"

#include <map>
#include <utility>

#include "dupcheck/access_lists.h"
#include "text/text_writer.h"

namespace dorvex {

namespace {

class Review {
 public:
  Review(const AclConfig& older, const AclConfig& newer, TextCursor& details,
         std::vector<ChangeRecord>* records)
      : older(older), newer(newer), out(&details), records(records) {}

  long long run() {
    const auto before = listsOf(older), after = listsOf(newer);
    std::map<ListKey, std::pair<const std::vector<int>*, const std::vector<int>*>> both;
    for (const auto& [key, entries] : before) both[key].first = &entries;
    for (const auto& [key, entries] : after) both[key].second = &entries;
    for (const auto& [key, lists] : both) {
      const AclConfig& any = lists.first ? older : newer;
      const std::vector<int>& entries = lists.first ? *lists.first : *lists.second;
      ChangeRecord base = recordOf(key, any, entries.front());
      if (!lists.first || !lists.second) {
        base.kind = lists.first ? ChangeRecord::Kind::listRemoved : ChangeRecord::Kind::listAdded;
        base.lines = static_cast<int>(entries.size());
        writeListName(out, key);
        out.text(lists.first ? " list removed lines=" : " list added lines=");
        out.number(base.lines).lineEnd();
        keep(std::move(base));
        continue;
      }
      const RuleList oldList(coverRulesOf(older, key, *lists.first));
      const RuleList newList(coverRulesOf(newer, key, *lists.second));
      const ListChanges changes = compareLists(oldList, newList);
      for (const Difference& d : changes.differences) {
        writeListName(out, key);
        out.text(" old-row=");
        writeRows(out, {d.old_line});
        out.text(" new-row=");
        writeRows(out, {d.new_line});
        out.text(d.new_action == Action::permit ? " newly permitted" : " newly denied");
        out.text(" witness=").text(describe(d.witness, key.ipv6)).lineEnd();
        ChangeRecord record = base;
        record.difference = d;
        keep(std::move(record));
      }
      std::vector<std::string> reasons;
      if (!changes.guard.empty()) reasons.push_back(changes.guard);
      for (const ListChanges::Doubt& doubt : changes.undecided) {
        std::string reason = lineReason(*doubt.rule);
        // A line whose action was not read stands twice: named once.
        if (reasons.empty() || reasons.back() != reason) reasons.push_back(std::move(reason));
      }
      for (std::string& reason : reasons) {
        writeListName(out, key);
        out.text(" undecided reason=").text(reason).lineEnd();
        ChangeRecord record = base;
        record.kind = ChangeRecord::Kind::undecided;
        record.reason = std::move(reason);
        keep(std::move(record));
      }
    }
    out.finish();
    return written;
  }

 private:
  ChangeRecord recordOf(const ListKey& key, const AclConfig& config, int entry) const {
    ChangeRecord record;
    const int type = config.entryAt(entry)->type;
    record.listKind = key.ipv6 ? "ipv6" : type == kStandardRule ? "standard" : "extended";
    record.name = std::string(key.name);
    record.number = key.number;
    record.ipv6 = key.ipv6;
    return record;
  }
  void keep(ChangeRecord record) {
    ++written;
    if (records) records->push_back(std::move(record));
  }

  const AclConfig& older;
  const AclConfig& newer;
  TextWriter out;
  std::vector<ChangeRecord>* records;
  long long written = 0;
};

}  // namespace

long long reviewChanges(const AclConfig& older, const AclConfig& newer, TextCursor& details,
                        std::vector<ChangeRecord>* records) {
  return Review(older, newer, details, records).run();
}

}  // namespace dorvex

// DuplicationIndex: the source rules of a duplication check, grouped so that
// the source rules that may cover a setting rule are found without testing
// every pair. The pair loop compares every setting rule with every source
// rule; with the index, findDuplications() finds the same pairs in the same
// order, in time that grows with the rules and the pairs found.
//
// The source rules without the error bit are grouped by list (a numbered
// list by its number, a named list by its name, so that equal names meet
// whatever their name-table positions) and by permission. Inside a group
// they are split by wildcard mask, in two kinds: by the source wildcard
// alone, for standard setting rules, and by the pair of source and
// destination wildcards, for all other setting rules. Under each mask the
// rules sit in buckets by their masked addresses, each bucket in table
// order.
//
// A wildcard counts by its prefix: the bits it keeps from the highest down
// to the first it ignores. A contiguous wildcard ("0.0.0.255") is its own
// prefix, so a group has at most 33 masks of a kind for each address; the
// rules of a non-contiguous one ("0.0.255.0") sit under its prefix in masks
// of their own, whose entries a lookup still tests against their wildcard.
//
// A setting rule looks up, for each mask of its group, the bucket of its own
// addresses under that mask: the source rules of its list and permission
// whose source and destination address tests pass. The masks are met
// through the destination first: for each destination prefix of the group,
// the masks of the rules under the setting rule's destination, so that the
// source is probed only under masks that can hold a bucket for it. In the
// kind of both addresses a bucket keeps the rules with an "eq" port operand
// apart, ordered by port, and gives only those whose port can cover the
// setting rule's operand: one host with a thousand services is otherwise a
// thousand candidates for every rule. The caller still runs the whole pair
// test on each candidate, so the index only has to give every source rule
// that can pass it, in table order, each once.
//
// A small group (at most kScanLimit source rules, the common list) is not
// hashed at all: its rules are kept as compact records in table order, and
// a lookup runs both address tests over them, which costs less than
// computing and probing a bucket hash for each of its masks.
#ifndef DORVEX_DUPCHECK_DUPLICATION_INDEX_H_
#define DORVEX_DUPCHECK_DUPLICATION_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/check_modes.h"

namespace dorvex {

class AclConfig;
struct AclEntry;

class DuplicationIndex {
 public:
  DuplicationIndex() = default;
  DuplicationIndex(const DuplicationIndex&) = delete;
  DuplicationIndex& operator=(const DuplicationIndex&) = delete;

  // Groups of at most so many source rules are scanned rather than hashed.
  static constexpr int kScanLimit = 256;

  // Indexes the entries of `source` for the rules of `setting`: only the
  // groups and kinds that some setting rule looks up are indexed, those of
  // at most `scanLimit` source rules for scanning, the others hashed (the
  // tests give both ways every group). The index refers to both
  // configurations, which must stay unchanged while it is used (their
  // flags aside).
  // The "eq" port keys of a hashed group are those `cover` gives
  // (eqOperandCovers() of rule_cover.h).
  void build(const AclConfig& source, const AclConfig& setting, Cover cover = Cover::classic,
             int scanLimit = kScanLimit);

  // The indexes of the source entries that may cover the setting entry at
  // `settingIndex` (of the setting config given to build()), in ascending
  // order, each once: every source entry without the error bit, of the same
  // list and permission, whose source address test passes and, unless the
  // setting entry is a standard rule, whose destination address test passes
  // too and, in a hashed group, each of whose "eq" port operands can cover
  // the setting entry's operand on that side in the cover given to build()
  // (eqOperandCovers()). Rarely (two bucket
  // keys with equal 64-bit hashes share a bucket) a few more. Empty for a
  // setting entry with the error bit, or outside the setting table. Valid
  // until the next call.
  const std::vector<int>& candidates(int settingIndex);

 private:
  struct Key {
    std::uint32_t word[4];
    bool operator==(const Key& other) const;
  };
  static std::uint64_t hashOf(const Key& key);

  // A small hash table with exact keys, for the groups, the masks and the
  // destination classes: it numbers the keys 0, 1, 2, ... in the order they
  // are first inserted. Open addressing, linear probing; a slot holds 32
  // bits of the key's hash and its number, the keys sit in one array by
  // number.
  class KeyTable {
   public:
    // Empties the table, with room for `count` keys.
    void clear(std::size_t count);
    // The number of `key`; a new key gets the next number, size() - 1.
    int insert(const Key& key);
    // The number of `key`, or -1.
    int find(const Key& key) const;
    int size() const { return static_cast<int>(keys.size()); }

   private:
    void grow();
    std::vector<Key> keys;             // by number
    std::vector<std::uint64_t> slots;  // 0 empty, else hash bits << 32 | number + 1
    std::size_t mask = 0;
  };

  // A bucket: the 64-bit hash of its key and its range of the array it
  // indexes.
  struct Bucket {
    std::uint64_t hash;
    int first;
    int count;  // 0 marks an empty slot
  };
  // A table of buckets keyed by hash alone: keys with equal hashes share a
  // bucket, which only adds candidates.
  class BucketTable {
   public:
    // Empties the table, with room for `count` keys (it does not grow).
    void clear(std::size_t count);
    // The slot of `hash`, taken when new, with one more item counted.
    std::size_t add(std::uint64_t hash);
    // Gives the buckets consecutive ranges and returns their total length;
    // the counts start again from 0, for place().
    int layout();
    // The position of the next item of the bucket at `slot`.
    std::size_t place(std::size_t slot);
    // The bucket of `hash`, or nullptr.
    const Bucket* find(std::uint64_t hash) const;

   private:
    std::vector<Bucket> slots;
    std::size_t mask = 0;
  };

  // A mask of a group: the bits that the prefixes of the source wildcard
  // and of the destination wildcard keep (zero for the destination in the
  // source-only kind), packed as 32-bit numbers.
  struct Mask {
    std::uint32_t sourceKeep;
    std::uint32_t destinKeep;
    int combo;   // the number that the bucket keys carry
    bool exact;  // every wildcard of its rules is its own prefix
  };
  // The source rules of the small groups, for the address tests, field by
  // field so that a lookup tests several rules with each instruction: each
  // address already masked by its wildcard, and the bits the wildcard keeps.
  struct ScanRecords {
    std::vector<std::uint32_t> sourceKeep;
    std::vector<std::uint32_t> source;
    std::vector<std::uint32_t> destinKeep;
    std::vector<std::uint32_t> destin;
    std::vector<int> entry;  // the index in the source config
    void resize(std::size_t count);
  };

  // What one lookup compares the source entries with: the setting entry's
  // addresses and the port key an "eq" operand needs on each side to cover
  // it, 0 where none does (a port key names the side and the port, so that
  // keys of the two sides never meet).
  struct Lookup {
    int kind;
    std::uint32_t source;
    std::uint32_t destin;
    std::uint64_t sourcePort;
    std::uint64_t destinPort;
  };

  // The two kinds of mask and bucket: of the source address alone (for
  // standard setting rules) and of both addresses (for all others).
  static constexpr int kKinds = 2;
  static int kindOf(const AclEntry& setting);
  // Whether the group and kind is hashed and some setting rule looks it up.
  bool hashedAndWanted(int group, int kind) const;

  // The group of the list and permission of `entry` in `config`, or -1 (a
  // named list by its name, a numbered one by its number); with `add`, a
  // new group for a new list and permission. Consecutive entries mostly
  // share their list, so the groups of the last list are remembered.
  int groupOf(const AclEntry& entry, const AclConfig& config, bool add);

  // The steps of build(), in order; the last four only when a group is
  // hashed.
  void groupSourceEntries();
  void groupSettingEntries();
  void makeScanRecords(int scanLimit);
  void makeMasksAndHashes();
  void fillBuckets(int kind);
  void fillDestinBuckets();
  void listClassesByGroup();

  // The lookup of `setting`; its port keys only with `ports`.
  Lookup lookupOf(const AclEntry& setting, bool ports) const;
  // Whether the source entry at `r` passes the port part of the candidate
  // test (both addresses kind only).
  bool portsPass(int r, const Lookup& lookup) const;
  // Whether the source entry at `r` passes the address tests of `lookup`.
  bool addressesPass(int r, const Lookup& lookup) const;
  // Puts the source entries of `group` (a small one) whose address tests
  // `lookup` passes into `found`, in table order.
  void scanGroup(int group, const Lookup& lookup);
  // Puts the candidates of every bucket of `lookup`'s addresses under the
  // masks of `group` (a hashed one) into `found`, in table order.
  void lookUpBuckets(int group, const Lookup& lookup);
  // Appends the candidates of `bucket` (under a mask with `exact`) to
  // `found`; returns the number of runs appended, each in table order.
  int takeBucket(const Bucket& bucket, bool exact, const Lookup& lookup);
  // Appends the entries of [begin, end) of `order` that pass `lookup`
  // (the address tests unless `exact`; the port test with `ports`).
  // Returns 1 when it appended any, else 0.
  int takeRun(const int* begin, const int* end, bool exact, bool ports, const Lookup& lookup);

  const AclConfig* sourceConfig = nullptr;
  const AclConfig* settingConfig = nullptr;
  Cover cover = Cover::classic;
  std::unordered_map<std::string_view, int> nameIds;  // list names of the source
  struct LastList {
    const AclConfig* config = nullptr;
    int acl_no = 0;
    int group[2] = {-1, -1};  // by permission; -1 also when not yet known
  } last;
  std::vector<int> groupOfEntry;   // the group of each source entry, or -1
  std::vector<int> settingGroups;  // the group of each setting entry, or -1
  std::vector<int> groupSize;      // source entries of each group
  // Per group and kind (index kKinds * group + kind): whether some setting
  // rule looks it up.
  std::vector<char> wanted;
  // Per group: its first record in `scanRecords`, or -1 for a hashed group.
  std::vector<int> scanFirst;
  ScanRecords scanRecords;
  // Whether each record of the group being scanned passes, 0 or 1; room for
  // the largest scanned group and eight bytes more, so that it is read
  // eight at a time.
  std::vector<unsigned char> scanPassed;

  KeyTable groups;          // (named, number or name id, permission) -> group
  KeyTable combos;          // (group, kind and exactness, masks) -> combo
  std::vector<Mask> masks;  // by combo
  // The destination classes: the masks of a group and kind by the bits
  // their destination prefix keeps (one class in the source-only kind).
  KeyTable classes;                      // (group, kind, destination bits kept) -> class
  std::vector<std::uint32_t> classKeep;  // by class
  std::vector<int> classSlot;            // by class: kKinds * group + kind
  // Per group and kind (index kKinds * group + kind): its classes, as a
  // range of `groupClasses`.
  std::vector<int> classStart;
  std::vector<int> groupClasses;
  // The destination buckets: by class and masked destination, the combos
  // of the source entries there, as ranges of `destinCombos`; made from
  // the (bucket hash, combo) pair of every entry.
  std::vector<std::pair<std::uint64_t, int>> destinPairs;
  BucketTable destinBuckets;
  std::vector<int> destinCombos;
  // The port keys of the "eq" operands of each source entry of a hashed
  // group, 0 for others.
  std::vector<std::uint64_t> sourcePortOf;
  std::vector<std::uint64_t> destinPortOf;
  // Per kind: the bucket hash of every source entry (0 where not wanted),
  // the buckets, and the source entry indexes bucket after bucket.
  std::vector<std::uint64_t> entryHash[kKinds];
  BucketTable buckets[kKinds];
  std::vector<int> order[kKinds];
  // Beside order[kBothAddresses]: the port key each entry is ordered by in
  // its bucket (its destination port key, else its source port key, else
  // 0): a bucket holds first the entries of key 0, then those of a source
  // port, then those of a destination port, each by port and table order.
  std::vector<std::uint64_t> orderPort;
  std::vector<int> found;  // the result of candidates()
};

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_DUPLICATION_INDEX_H_

#include "dupcheck/duplication_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dupcheck/rule_cover.h"
#include "parser/acl_config.h"

namespace dorvex {

namespace {

constexpr int kSourceOnly = 0;
constexpr int kBothAddresses = 1;
constexpr std::uint64_t kHighBits = 0xFFFFFFFF00000000ULL;

// Port keys: the side in the high half, so that the keys of one side sort
// together and never equal those of the other; the port in the low half.
constexpr std::uint64_t kSourcePortKey = std::uint64_t{1} << 32;
constexpr std::uint64_t kDestinPortKey = std::uint64_t{2} << 32;

std::uint64_t portKey(std::uint64_t side, int port) {
  return side | static_cast<std::uint32_t>(port);
}
// The key of a source entry's operand: its port when its operator is eq.
std::uint64_t operandKey(std::uint64_t side, int op, int low) {
  return op == kPortEq ? portKey(side, low) : 0;
}
// The key of a lookup that every "eq" operand of `side` passes.
std::uint64_t anyPortKey(std::uint64_t side) { return side | 0xFFFFFFFFULL; }
bool isAnyPortKey(std::uint64_t key) { return (key & 0xFFFFFFFFULL) == 0xFFFFFFFFULL; }

// The key an "eq" operand needs to cover the setting operand in `cover`:
// that of its one port, that of any port, or 0 when none can.
std::uint64_t coveringKey(Cover cover, std::uint64_t side, int op, int low, int high) {
  int port = 0;
  switch (eqOperandCovers(cover, op, low, high, port)) {
    case EqCover::onePort: return portKey(side, port);
    case EqCover::anyPort: return anyPortKey(side);
    case EqCover::none: break;
  }
  return 0;
}

// The bits of `keep` from the highest down to the first it does not keep.
std::uint32_t prefixOf(std::uint32_t keep) {
  const int length = std::countl_one(keep);
  return length == 0 ? 0 : ~std::uint32_t{0} << (32 - length);
}

std::uint32_t asWord(int value) { return static_cast<std::uint32_t>(value); }
std::size_t asIndex(int value) { return static_cast<std::size_t>(value); }

// Slots for `count` keys at most half full, a power of two.
std::size_t capacityFor(std::size_t count) {
  std::size_t capacity = 16;
  while (capacity < 2 * count) capacity *= 2;
  return capacity;
}

}  // namespace

bool DuplicationIndex::Key::operator==(const Key& other) const {
  return word[0] == other.word[0] && word[1] == other.word[1] && word[2] == other.word[2] &&
         word[3] == other.word[3];
}

std::uint64_t DuplicationIndex::hashOf(const Key& key) {
  // Two multiplications, the low bits (the table slots) folded with the
  // well-mixed high half. Keys that share a hash only share a bucket, which
  // adds candidates, never loses one.
  std::uint64_t high = (std::uint64_t{key.word[0]} << 32) | key.word[1];
  std::uint64_t low = (std::uint64_t{key.word[2]} << 32) | key.word[3];
  std::uint64_t h = (high * 0x9E3779B97F4A7C15ULL) ^ low;
  h *= 0xD6E8FEB86659FD93ULL;
  return h ^ (h >> 32);
}

// ---- KeyTable

void DuplicationIndex::KeyTable::clear(std::size_t count) {
  keys.clear();
  keys.reserve(count);
  slots.assign(capacityFor(count), 0);
  mask = slots.size() - 1;
}

void DuplicationIndex::KeyTable::grow() {
  slots.assign(slots.size() * 2, 0);
  mask = slots.size() - 1;
  for (std::size_t number = 0; number < keys.size(); ++number) {
    std::uint64_t h = hashOf(keys[number]);
    std::size_t slot = static_cast<std::size_t>(h) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = (h & kHighBits) | (number + 1);
  }
}

int DuplicationIndex::KeyTable::insert(const Key& key) {
  // At most half full, so that probe runs stay short.
  if (2 * (keys.size() + 1) > slots.size()) grow();
  const std::uint64_t h = hashOf(key);
  std::size_t slot = static_cast<std::size_t>(h) & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    if ((slots[slot] & kHighBits) != (h & kHighBits)) continue;
    std::size_t number = static_cast<std::size_t>(slots[slot] & 0xFFFFFFFFu) - 1;
    if (keys[number] == key) return static_cast<int>(number);
  }
  slots[slot] = (h & kHighBits) | (keys.size() + 1);
  keys.push_back(key);
  return static_cast<int>(keys.size()) - 1;
}

int DuplicationIndex::KeyTable::find(const Key& key) const {
  const std::uint64_t h = hashOf(key);
  for (std::size_t slot = static_cast<std::size_t>(h) & mask; slots[slot] != 0;
       slot = (slot + 1) & mask) {
    if ((slots[slot] & kHighBits) != (h & kHighBits)) continue;
    std::size_t number = static_cast<std::size_t>(slots[slot] & 0xFFFFFFFFu) - 1;
    if (keys[number] == key) return static_cast<int>(number);
  }
  return -1;
}

// ---- BucketTable

void DuplicationIndex::BucketTable::clear(std::size_t count) {
  slots.assign(capacityFor(count), Bucket{0, 0, 0});
  mask = slots.size() - 1;
}

std::size_t DuplicationIndex::BucketTable::add(std::uint64_t hash) {
  std::size_t slot = static_cast<std::size_t>(hash) & mask;
  while (slots[slot].count != 0 && slots[slot].hash != hash) slot = (slot + 1) & mask;
  slots[slot].hash = hash;
  ++slots[slot].count;
  return slot;
}

int DuplicationIndex::BucketTable::layout() {
  int next = 0;
  for (Bucket& bucket : slots) {
    bucket.first = next;
    next += bucket.count;
    bucket.count = 0;
  }
  return next;
}

std::size_t DuplicationIndex::BucketTable::place(std::size_t slot) {
  Bucket& bucket = slots[slot];
  return asIndex(bucket.first + bucket.count++);
}

const DuplicationIndex::Bucket* DuplicationIndex::BucketTable::find(std::uint64_t hash) const {
  for (std::size_t slot = static_cast<std::size_t>(hash) & mask; slots[slot].count != 0;
       slot = (slot + 1) & mask) {
    if (slots[slot].hash == hash) return &slots[slot];
  }
  return nullptr;
}

// ---- DuplicationIndex

int DuplicationIndex::kindOf(const AclEntry& setting) {
  return setting.type == kStandardRule ? kSourceOnly : kBothAddresses;
}

int DuplicationIndex::groupOf(const AclEntry& entry, const AclConfig& config, bool add) {
  // Equal list numbers of one configuration mean one list, named or not.
  // A permission other than kPermit and kDeny (only on entries in error) is
  // not cached.
  const bool cached = entry.permission == kPermit || entry.permission == kDeny;
  if (last.config != &config || last.acl_no != entry.acl_no) {
    last = LastList{&config, entry.acl_no, {-1, -1}};
  } else if (cached && last.group[entry.permission] >= 0) {
    return last.group[entry.permission];
  }
  const bool named = entry.acl_no >= kNamedListBase;
  int number = entry.acl_no;
  int group = -1;
  if (named) {
    std::string_view name = config.nameView(entry.acl_no - kNamedListBase);
    if (add) {
      number = nameIds.try_emplace(name, static_cast<int>(nameIds.size())).first->second;
    } else {
      auto id = nameIds.find(name);
      number = id == nameIds.end() ? -1 : id->second;
    }
  }
  if (!named || number != -1) {
    // IPv6 lists are lists of their own, whatever their names.
    Key key{{named ? 1u : 0u, asWord(number), asWord(entry.permission),
             entry.type == kIpv6Rule ? 1u : 0u}};
    group = add ? groups.insert(key) : groups.find(key);
  }
  if (cached) last.group[entry.permission] = group;
  return group;
}

bool DuplicationIndex::hashedAndWanted(int group, int kind) const {
  return group >= 0 && scanFirst[asIndex(group)] < 0 &&
         wanted[kKinds * asIndex(group) + asIndex(kind)] != 0;
}

void DuplicationIndex::build(const AclConfig& source, const AclConfig& setting, Cover coverTest,
                             int scanLimit) {
  cover = coverTest;
  sourceConfig = &source;
  settingConfig = &setting;
  last = LastList{};
  nameIds.clear();
  groups.clear(64);
  combos.clear(256);
  groupSourceEntries();
  groupSettingEntries();
  makeScanRecords(scanLimit);
  // Most configurations have only small lists: nothing to hash.
  bool hashed = false;
  for (int group = 0; group < groups.size(); ++group) {
    for (int kind = 0; kind < kKinds; ++kind) hashed = hashed || hashedAndWanted(group, kind);
  }
  if (!hashed) return;
  makeMasksAndHashes();
  for (int kind = 0; kind < kKinds; ++kind) fillBuckets(kind);
  fillDestinBuckets();
  listClassesByGroup();
}

// The group of every source entry (-1 for one in error) and the size of
// every group.
void DuplicationIndex::groupSourceEntries() {
  const int count = sourceConfig->entryCount();
  groupOfEntry.assign(asIndex(count), -1);
  for (int r = 0; r < count; ++r) {
    const AclEntry& entry = *sourceConfig->entryAt(r);
    if (!(entry.flags & kErrorBit)) groupOfEntry[asIndex(r)] = groupOf(entry, *sourceConfig, true);
  }
  groupSize.assign(asIndex(groups.size()), 0);
  for (int group : groupOfEntry) {
    if (group >= 0) ++groupSize[asIndex(group)];
  }
}

// The group of every setting entry, and the groups and kinds that setting
// rules look up.
void DuplicationIndex::groupSettingEntries() {
  const int count = settingConfig->entryCount();
  wanted.assign(kKinds * asIndex(groups.size()), 0);
  settingGroups.assign(asIndex(count), -1);
  for (int s = 0; s < count; ++s) {
    const AclEntry& entry = *settingConfig->entryAt(s);
    if (entry.flags & kErrorBit) continue;
    const int group = groupOf(entry, *settingConfig, false);
    settingGroups[asIndex(s)] = group;
    if (group >= 0) wanted[kKinds * asIndex(group) + asIndex(kindOf(entry))] = 1;
  }
}

// The small groups that setting rules look up, as records in table order.
void DuplicationIndex::makeScanRecords(int scanLimit) {
  const std::size_t groupCount = groupSize.size();
  scanFirst.assign(groupCount, -1);
  int records = 0;
  int largest = 0;
  for (std::size_t group = 0; group < groupCount; ++group) {
    const bool looked = wanted[kKinds * group] != 0 || wanted[kKinds * group + 1] != 0;
    if (looked && groupSize[group] <= scanLimit) {
      scanFirst[group] = records;
      records += groupSize[group];
      largest = std::max(largest, groupSize[group]);
    }
  }
  scanPassed.assign(asIndex(largest) + 8, 0);
  scanRecords.resize(asIndex(records));
  std::vector<int> next(scanFirst);
  for (int r = 0; r < sourceConfig->entryCount(); ++r) {
    const int group = groupOfEntry[asIndex(r)];
    if (group < 0 || scanFirst[asIndex(group)] < 0) continue;
    const AclEntry& entry = *sourceConfig->entryAt(r);
    const std::size_t at = asIndex(next[asIndex(group)]++);
    scanRecords.sourceKeep[at] = ~packAddress(entry.mask_s);
    scanRecords.source[at] = packAddress(entry.source) & scanRecords.sourceKeep[at];
    scanRecords.destinKeep[at] = ~packAddress(entry.mask_d);
    scanRecords.destin[at] = packAddress(entry.destin) & scanRecords.destinKeep[at];
    scanRecords.entry[at] = r;
  }
}

// Every source entry of a hashed group into a mask of each kind looked up,
// with the hash of its bucket key and its port keys, and into the
// destination bucket of its mask's class. A mask keeps the prefix of each
// wildcard; the rules of wildcards that are not their own prefix go into
// masks of their own, whose lookups test each rule's wildcards.
void DuplicationIndex::makeMasksAndHashes() {
  const int count = sourceConfig->entryCount();
  sourcePortOf.assign(asIndex(count), 0);
  destinPortOf.assign(asIndex(count), 0);
  masks.clear();
  classes.clear(64);
  classKeep.clear();
  classSlot.clear();
  destinPairs.clear();
  for (int kind = 0; kind < kKinds; ++kind) entryHash[kind].assign(asIndex(count), 0);
  for (int r = 0; r < count; ++r) {
    const int group = groupOfEntry[asIndex(r)];
    if (group < 0 || scanFirst[asIndex(group)] >= 0) continue;
    const AclEntry& entry = *sourceConfig->entryAt(r);
    sourcePortOf[asIndex(r)] = operandKey(kSourcePortKey, entry.sp_typ, entry.sp_low);
    destinPortOf[asIndex(r)] = operandKey(kDestinPortKey, entry.dp_typ, entry.dp_low);
    const std::uint32_t sourceKeep = prefixOf(~packAddress(entry.mask_s));
    const std::uint32_t destinKeep = prefixOf(~packAddress(entry.mask_d));
    const bool sourceExact = sourceKeep == ~packAddress(entry.mask_s);
    const bool destinExact = destinKeep == ~packAddress(entry.mask_d);
    for (int kind = 0; kind < kKinds; ++kind) {
      if (!hashedAndWanted(group, kind)) continue;
      const bool both = kind == kBothAddresses;
      const bool exact = sourceExact && (destinExact || !both);
      const std::uint32_t kindDestinKeep = both ? destinKeep : 0;
      const int combo = combos.insert(
          Key{{asWord(group), asWord(kind + (exact ? 0 : kKinds)), sourceKeep, kindDestinKeep}});
      if (combo == static_cast<int>(masks.size())) {
        masks.push_back(Mask{sourceKeep, kindDestinKeep, combo, exact});
      }
      const int destinClass = classes.insert(Key{{asWord(group), asWord(kind), kindDestinKeep, 0}});
      if (destinClass == static_cast<int>(classKeep.size())) {
        classKeep.push_back(kindDestinKeep);
        classSlot.push_back(kKinds * group + kind);
      }
      const std::uint32_t destin = packAddress(entry.destin) & kindDestinKeep;
      entryHash[kind][asIndex(r)] =
          hashOf(Key{{asWord(combo), packAddress(entry.source) & sourceKeep, destin, 0}});
      destinPairs.push_back({hashOf(Key{{asWord(destinClass), destin, 0, 0}}), combo});
    }
  }
}

// The entries of one kind into their buckets, the buckets one after the
// other in `order`, each in table order; in the kind of both addresses, by
// port key first (see orderPort).
void DuplicationIndex::fillBuckets(int kind) {
  std::vector<int> entries;
  for (int r = 0; r < static_cast<int>(groupOfEntry.size()); ++r) {
    if (hashedAndWanted(groupOfEntry[asIndex(r)], kind)) entries.push_back(r);
  }
  const bool ports = kind == kBothAddresses;
  auto portOf = [&](int r) {
    return destinPortOf[asIndex(r)] != 0 ? destinPortOf[asIndex(r)] : sourcePortOf[asIndex(r)];
  };
  // Each bucket takes its entries in the order they are placed.
  if (ports) {
    std::stable_sort(entries.begin(), entries.end(),
                     [&](int a, int b) { return portOf(a) < portOf(b); });
  }
  BucketTable& table = buckets[kind];
  table.clear(entries.size());
  std::vector<std::size_t> slotOf(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    slotOf[k] = table.add(entryHash[kind][asIndex(entries[k])]);
  }
  order[kind].assign(asIndex(table.layout()), 0);
  if (ports) orderPort.assign(order[kind].size(), 0);
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::size_t at = table.place(slotOf[k]);
    order[kind][at] = entries[k];
    if (ports) orderPort[at] = portOf(entries[k]);
  }
}

// The masks met under each destination bucket, each once.
void DuplicationIndex::fillDestinBuckets() {
  std::sort(destinPairs.begin(), destinPairs.end());
  destinPairs.erase(std::unique(destinPairs.begin(), destinPairs.end()), destinPairs.end());
  destinBuckets.clear(destinPairs.size());
  std::vector<std::size_t> slotOf(destinPairs.size());
  for (std::size_t k = 0; k < destinPairs.size(); ++k)
    slotOf[k] = destinBuckets.add(destinPairs[k].first);
  destinCombos.assign(asIndex(destinBuckets.layout()), 0);
  for (std::size_t k = 0; k < destinPairs.size(); ++k) {
    destinCombos[destinBuckets.place(slotOf[k])] = destinPairs[k].second;
  }
}

// The classes of each group and kind together, in the order they were met.
void DuplicationIndex::listClassesByGroup() {
  classStart.assign(kKinds * groupSize.size() + 1, 0);
  for (int slot : classSlot) ++classStart[asIndex(slot) + 1];
  for (std::size_t k = 1; k < classStart.size(); ++k) classStart[k] += classStart[k - 1];
  groupClasses.assign(classSlot.size(), 0);
  std::vector<int> next(classStart.begin(), classStart.end() - 1);
  for (std::size_t k = 0; k < classSlot.size(); ++k) {
    groupClasses[asIndex(next[asIndex(classSlot[k])]++)] = static_cast<int>(k);
  }
}

void DuplicationIndex::ScanRecords::resize(std::size_t count) {
  sourceKeep.resize(count);
  source.resize(count);
  destinKeep.resize(count);
  destin.resize(count);
  entry.resize(count);
}

DuplicationIndex::Lookup DuplicationIndex::lookupOf(const AclEntry& setting, bool ports) const {
  Lookup lookup{kindOf(setting), packAddress(setting.source), 0, 0, 0};
  if (lookup.kind == kBothAddresses) {
    lookup.destin = packAddress(setting.destin);
    if (ports) {
      lookup.sourcePort =
          coveringKey(cover, kSourcePortKey, setting.sp_typ, setting.sp_low, setting.sp_hig);
      lookup.destinPort =
          coveringKey(cover, kDestinPortKey, setting.dp_typ, setting.dp_low, setting.dp_hig);
    }
  }
  return lookup;
}

bool DuplicationIndex::portsPass(int r, const Lookup& lookup) const {
  const std::uint64_t source = sourcePortOf[asIndex(r)];
  const std::uint64_t destin = destinPortOf[asIndex(r)];
  const auto passes = [](std::uint64_t key, std::uint64_t wanted) {
    return key == 0 || key == wanted || (wanted != 0 && isAnyPortKey(wanted));
  };
  return passes(source, lookup.sourcePort) && passes(destin, lookup.destinPort);
}

bool DuplicationIndex::addressesPass(int r, const Lookup& lookup) const {
  const AclEntry& entry = *sourceConfig->entryAt(r);
  const bool source =
      ((packAddress(entry.source) ^ lookup.source) & ~packAddress(entry.mask_s)) == 0;
  if (lookup.kind == kSourceOnly) return source;
  return source && ((packAddress(entry.destin) ^ lookup.destin) & ~packAddress(entry.mask_d)) == 0;
}

void DuplicationIndex::scanGroup(int group, const Lookup& lookup) {
  const std::size_t first = asIndex(scanFirst[asIndex(group)]);
  const std::size_t count = asIndex(groupSize[asIndex(group)]);
  const std::uint32_t* const sourceKeep = scanRecords.sourceKeep.data() + first;
  const std::uint32_t* const sourceValue = scanRecords.source.data() + first;
  const std::uint32_t source = lookup.source;
  unsigned char* const passed = scanPassed.data();
  // Both address tests over every record first (a loop the compiler
  // vectorises), then the few that passed are picked out eight records at
  // a time. The ports are left to the pair test: a small group gives few
  // candidates anyway.
  if (lookup.kind == kSourceOnly) {
    for (std::size_t k = 0; k < count; ++k) {
      passed[k] = (source & sourceKeep[k]) == sourceValue[k];
    }
  } else {
    const std::uint32_t* const destinKeep = scanRecords.destinKeep.data() + first;
    const std::uint32_t* const destinValue = scanRecords.destin.data() + first;
    const std::uint32_t destin = lookup.destin;
    for (std::size_t k = 0; k < count; ++k) {
      passed[k] = ((source & sourceKeep[k]) == sourceValue[k]) &
                  ((destin & destinKeep[k]) == destinValue[k]);
    }
  }
  std::memset(passed + count, 0, 8);
  found.resize(count);
  int* const out = found.data();
  std::size_t kept = 0;
  const int* const entries = scanRecords.entry.data() + first;
  for (std::size_t k = 0; k < count; k += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, passed + k, 8);
    if constexpr (std::endian::native == std::endian::little) {
      // Byte j of the eight is bit 8 * j of the number.
      for (; eight != 0; eight &= eight - 1) {
        out[kept++] = entries[k + static_cast<std::size_t>(std::countr_zero(eight)) / 8];
      }
    } else if (eight != 0) {
      for (std::size_t j = k; j < k + 8 && j < count; ++j) {
        if (passed[j]) out[kept++] = entries[j];
      }
    }
  }
  found.resize(kept);
}

int DuplicationIndex::takeRun(const int* begin, const int* end, bool exact, bool ports,
                              const Lookup& lookup) {
  if (exact && !ports) {
    found.insert(found.end(), begin, end);
    return begin == end ? 0 : 1;
  }
  const std::size_t before = found.size();
  for (const int* at = begin; at != end; ++at) {
    if (!exact && !addressesPass(*at, lookup)) continue;
    if (ports && !portsPass(*at, lookup)) continue;
    found.push_back(*at);
  }
  return found.size() > before ? 1 : 0;
}

int DuplicationIndex::takeBucket(const Bucket& bucket, bool exact, const Lookup& lookup) {
  const int* const entries = order[lookup.kind].data() + bucket.first;
  const int* const end = entries + bucket.count;
  if (lookup.kind == kSourceOnly) return takeRun(entries, end, exact, false, lookup);
  const std::uint64_t* const ports = orderPort.data() + bucket.first;
  const std::uint64_t* const portsEnd = ports + bucket.count;
  // The entries without an "eq" operand, then those whose port can cover.
  const std::uint64_t* const plainEnd =
      portsEnd[-1] == 0 ? portsEnd : std::upper_bound(ports, portsEnd, std::uint64_t{0});
  int runs = takeRun(entries, entries + (plainEnd - ports), exact, false, lookup);
  for (std::uint64_t key : {lookup.sourcePort, lookup.destinPort}) {
    if (key == 0 || plainEnd == portsEnd) continue;
    // Any port: every entry ordered by a key of that side.
    const auto [low, high] =
        isAnyPortKey(key) ? std::make_pair(std::lower_bound(plainEnd, portsEnd, key & kHighBits),
                                           std::upper_bound(plainEnd, portsEnd, key))
                          : std::equal_range(plainEnd, portsEnd, key);
    runs += takeRun(entries + (low - ports), entries + (high - ports), exact, true, lookup);
  }
  return runs;
}

void DuplicationIndex::lookUpBuckets(int group, const Lookup& lookup) {
  const std::size_t slot = kKinds * asIndex(group) + asIndex(lookup.kind);
  const BucketTable& table = buckets[lookup.kind];
  int runs = 0;
  // The destination first: only the masks met under the setting rule's
  // destination are probed for its source.
  for (int c = classStart[slot]; c < classStart[slot + 1]; ++c) {
    const int destinClass = groupClasses[asIndex(c)];
    const std::uint32_t destin = lookup.destin & classKeep[asIndex(destinClass)];
    const Bucket* combos = destinBuckets.find(hashOf(Key{{asWord(destinClass), destin, 0, 0}}));
    if (!combos) continue;
    for (int k = combos->first; k < combos->first + combos->count; ++k) {
      const Mask& mask = masks[asIndex(destinCombos[asIndex(k)])];
      const Bucket* bucket =
          table.find(hashOf(Key{{asWord(mask.combo), lookup.source & mask.sourceKeep, destin, 0}}));
      if (bucket) runs += takeBucket(*bucket, mask.exact, lookup);
    }
  }
  // A source entry sits in one bucket of a kind, so the runs are disjoint
  // (unless two masks met one bucket through equal hashes); more than one
  // run needs putting back into table order.
  if (runs > 1) {
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
  }
}

const std::vector<int>& DuplicationIndex::candidates(int settingIndex) {
  found.clear();
  if (settingIndex < 0 || asIndex(settingIndex) >= settingGroups.size()) return found;
  const int group = settingGroups[asIndex(settingIndex)];
  if (group < 0) return found;  // in error, or no source rule of its list and permission
  const AclEntry& setting = *settingConfig->entryAt(settingIndex);
  if (scanFirst[asIndex(group)] >= 0) {
    scanGroup(group, lookupOf(setting, false));
  } else {
    lookUpBuckets(group, lookupOf(setting, true));
  }
  return found;
}

}  // namespace dorvex

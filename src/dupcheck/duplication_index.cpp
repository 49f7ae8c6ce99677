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

void DuplicationIndex::BucketTable::place(std::size_t slot, int entry, std::vector<int>& order) {
  Bucket& bucket = slots[slot];
  order[asIndex(bucket.first + bucket.count++)] = entry;
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
    Key key{{named ? 1u : 0u, asWord(number), asWord(entry.permission), 0}};
    group = add ? groups.insert(key) : groups.find(key);
  }
  if (cached) last.group[entry.permission] = group;
  return group;
}


bool DuplicationIndex::hashedAndWanted(int group, int kind) const {
  return group >= 0 && scanFirst[asIndex(group)] < 0 &&
         wanted[kKinds * asIndex(group) + asIndex(kind)] != 0;
}

void DuplicationIndex::build(const AclConfig& source, const AclConfig& setting, int scanLimit) {
  settingConfig = &setting;
  last = LastList{};
  nameIds.clear();
  groups.clear(64);
  combos.clear(256);
  groupSourceEntries(source);
  groupSettingEntries(setting);
  makeScanRecords(source, scanLimit);
  makeMasksAndHashes(source);
  for (int kind = 0; kind < kKinds; ++kind) fillBuckets(kind);
  sortMasksByGroup();
}

// The group of every source entry (-1 for one in error) and the size of
// every group.
void DuplicationIndex::groupSourceEntries(const AclConfig& source) {
  const int count = source.entryCount();
  groupOfEntry.assign(asIndex(count), -1);
  for (int r = 0; r < count; ++r) {
    const AclEntry& entry = *source.entryAt(r);
    if (!(entry.flags & kErrorBit)) groupOfEntry[asIndex(r)] = groupOf(entry, source, true);
  }
  groupSize.assign(asIndex(groups.size()), 0);
  for (int group : groupOfEntry) {
    if (group >= 0) ++groupSize[asIndex(group)];
  }
}

// The group of every setting entry, and the groups and kinds that setting
// rules look up.
void DuplicationIndex::groupSettingEntries(const AclConfig& setting) {
  wanted.assign(kKinds * asIndex(groups.size()), 0);
  settingGroups.assign(asIndex(setting.entryCount()), -1);
  for (int s = 0; s < setting.entryCount(); ++s) {
    const AclEntry& entry = *setting.entryAt(s);
    if (entry.flags & kErrorBit) continue;
    const int group = groupOf(entry, setting, false);
    settingGroups[asIndex(s)] = group;
    if (group >= 0) wanted[kKinds * asIndex(group) + asIndex(kindOf(entry))] = 1;
  }
}

// The small groups that setting rules look up, as records in table order.
void DuplicationIndex::makeScanRecords(const AclConfig& source, int scanLimit) {
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
  for (int r = 0; r < source.entryCount(); ++r) {
    const int group = groupOfEntry[asIndex(r)];
    if (group < 0 || scanFirst[asIndex(group)] < 0) continue;
    const AclEntry& entry = *source.entryAt(r);
    const std::size_t at = asIndex(next[asIndex(group)]++);
    scanRecords.sourceKeep[at] = ~packAddress(entry.mask_s);
    scanRecords.source[at] = packAddress(entry.source) & scanRecords.sourceKeep[at];
    scanRecords.destinKeep[at] = ~packAddress(entry.mask_d);
    scanRecords.destin[at] = packAddress(entry.destin) & scanRecords.destinKeep[at];
    scanRecords.entry[at] = r;
  }
}

// Every source entry of a hashed group into a mask of each kind looked up,
// with the hash of its bucket key.
void DuplicationIndex::makeMasksAndHashes(const AclConfig& source) {
  const int count = source.entryCount();
  masks.clear();
  maskSlot.clear();
  for (int kind = 0; kind < kKinds; ++kind) entryHash[kind].assign(asIndex(count), 0);
  for (int r = 0; r < count; ++r) {
    const int group = groupOfEntry[asIndex(r)];
    if (group < 0 || scanFirst[asIndex(group)] >= 0) continue;
    const AclEntry& entry = *source.entryAt(r);
    const std::uint32_t sourceMask = packAddress(entry.mask_s);
    const std::uint32_t destinMask = packAddress(entry.mask_d);
    const std::uint32_t maskedSource = packAddress(entry.source) & ~sourceMask;
    const std::uint32_t maskedDestin = packAddress(entry.destin) & ~destinMask;
    for (int kind = 0; kind < kKinds; ++kind) {
      if (!hashedAndWanted(group, kind)) continue;
      const bool both = kind == kBothAddresses;
      const std::uint32_t kindDestinMask = both ? destinMask : 0;
      const int combo = combos.insert(Key{{asWord(group), asWord(kind), sourceMask, kindDestinMask}});
      if (combo == static_cast<int>(masks.size())) {
        masks.push_back(Mask{sourceMask, kindDestinMask, combo});
        maskSlot.push_back(kKinds * group + kind);
      }
      const Key key{{asWord(combo), maskedSource, both ? maskedDestin : 0, 0}};
      entryHash[kind][asIndex(r)] = hashOf(key);
    }
  }
}

// The entries of one kind into their buckets, the buckets one after the
// other in `order`, each in table order.
void DuplicationIndex::fillBuckets(int kind) {
  std::vector<int> entries;
  for (int r = 0; r < static_cast<int>(groupOfEntry.size()); ++r) {
    if (hashedAndWanted(groupOfEntry[asIndex(r)], kind)) entries.push_back(r);
  }
  BucketTable& table = buckets[kind];
  table.clear(entries.size());
  std::vector<std::size_t> slotOf(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    slotOf[k] = table.add(entryHash[kind][asIndex(entries[k])]);
  }
  order[kind].assign(asIndex(table.layout()), 0);
  for (std::size_t k = 0; k < entries.size(); ++k) table.place(slotOf[k], entries[k], order[kind]);
}

// The masks of each group and kind together, in the order they were met.
void DuplicationIndex::sortMasksByGroup() {
  maskStart.assign(kKinds * groupSize.size() + 1, 0);
  for (int slot : maskSlot) ++maskStart[asIndex(slot) + 1];
  for (std::size_t k = 1; k < maskStart.size(); ++k) maskStart[k] += maskStart[k - 1];
  std::vector<Mask> sorted(masks.size());
  std::vector<int> next(maskStart.begin(), maskStart.end() - 1);
  for (std::size_t k = 0; k < masks.size(); ++k) {
    sorted[asIndex(next[asIndex(maskSlot[k])]++)] = masks[k];
  }
  masks = std::move(sorted);
}

void DuplicationIndex::ScanRecords::resize(std::size_t count) {
  sourceKeep.resize(count);
  source.resize(count);
  destinKeep.resize(count);
  destin.resize(count);
  entry.resize(count);
}

void DuplicationIndex::scanGroup(int group, const AclEntry& setting) {
  const std::size_t first = asIndex(scanFirst[asIndex(group)]);
  const std::size_t count = asIndex(groupSize[asIndex(group)]);
  const std::uint32_t* const sourceKeep = scanRecords.sourceKeep.data() + first;
  const std::uint32_t* const sourceValue = scanRecords.source.data() + first;
  const std::uint32_t source = packAddress(setting.source);
  unsigned char* const passed = scanPassed.data();
  // Both tests over every record first (a loop the compiler vectorises),
  // then the few that passed are picked out eight records at a time.
  if (kindOf(setting) == kSourceOnly) {
    for (std::size_t k = 0; k < count; ++k) {
      passed[k] = (source & sourceKeep[k]) == sourceValue[k];
    }
  } else {
    const std::uint32_t* const destinKeep = scanRecords.destinKeep.data() + first;
    const std::uint32_t* const destinValue = scanRecords.destin.data() + first;
    const std::uint32_t destin = packAddress(setting.destin);
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

void DuplicationIndex::lookUpBuckets(int group, const AclEntry& setting) {
  const int kind = kindOf(setting);
  const std::size_t slot = kKinds * asIndex(group) + asIndex(kind);
  const std::uint32_t source = packAddress(setting.source);
  const std::uint32_t destin = kind == kBothAddresses ? packAddress(setting.destin) : 0;
  const BucketTable& table = buckets[kind];
  int runs = 0;
  for (int m = maskStart[slot]; m < maskStart[slot + 1]; ++m) {
    const Mask& mask = masks[asIndex(m)];
    const Bucket* bucket =
        table.find(hashOf(Key{{asWord(mask.combo), source & ~mask.source, destin & ~mask.destin, 0}}));
    if (!bucket) continue;
    const int* begin = order[kind].data() + bucket->first;
    found.insert(found.end(), begin, begin + bucket->count);
    ++runs;
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
    scanGroup(group, setting);
  } else {
    lookUpBuckets(group, setting);
  }
  return found;
}

}  // namespace dorvex

#include "dicom/dictionary.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

namespace {

constexpr DictStruct kDictionary[] = {
#include "dicom/dict/data_dictionary.inc"
};

struct UIDNameEntry {
  std::string_view uid;
  std::string_view name;
};

constexpr UIDNameEntry kUIDNames[] = {
#include "dicom/dict/uid_names.inc"
};

constexpr uint32_t Key(uint16_t group, uint16_t element) {
  return (uint32_t(group) << 16) | element;
}

constexpr bool SortedWithoutDuplicates() {
  for (size_t i = 1; i < std::size(kDictionary); ++i)
    if (Key(kDictionary[i - 1].group, kDictionary[i - 1].element) >=
        Key(kDictionary[i].group, kDictionary[i].element))
      return false;
  return true;
}
// A binary search answers like a first-match walk only over a sorted table
// without duplicates, which the generator writes.
static_assert(SortedWithoutDuplicates(), "data_dictionary.inc must be sorted by tag");

} // namespace

const DictStruct *FindDictEntry(uint16_t group, uint16_t element) {
  const uint32_t key = Key(group, element);
  auto it =
      std::lower_bound(std::begin(kDictionary), std::end(kDictionary), key,
                       [](const DictStruct &e, uint32_t k) { return Key(e.group, e.element) < k; });
  if (it == std::end(kDictionary) || Key(it->group, it->element) != key)
    return nullptr;
  return it;
}

std::span<const DictStruct> DictionaryEntries() { return kDictionary; }

std::string UIDName(const std::string &uid) {
  for (const auto &entry : kUIDNames)
    if (entry.uid == uid)
      return std::string(entry.name);
  return {};
}

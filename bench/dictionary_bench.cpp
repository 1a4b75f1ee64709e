// Data dictionary and UID name lookups, against a linear first-match walk of
// the same table as the reference.
#include <benchmark/benchmark.h>

#include <vector>

#include "dicom/dcm_tag.h"
#include "dicom/dictionary.h"

namespace {

// Tags a print association decodes, and one that is not in the table.
const std::vector<std::pair<uint16_t, uint16_t>> kTags = {
    {0x0000, 0x0100}, {0x0008, 0x0016}, {0x0010, 0x0010}, {0x0028, 0x0010},
    {0x2010, 0x0010}, {0x2020, 0x0110}, {0x7FE0, 0x0010}, {0x0019, 0x1010}};

void LinearReference(benchmark::State &state) {
  const auto entries = DictionaryEntries();
  for (auto _ : state)
    for (auto [group, element] : kTags) {
      const DictStruct *found = nullptr;
      for (const DictStruct &entry : entries)
        if (entry.group == group && entry.element == element) {
          found = &entry;
          break;
        }
      benchmark::DoNotOptimize(found);
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kTags.size()));
}

void FindEntry(benchmark::State &state) {
  for (auto _ : state)
    for (auto [group, element] : kTags)
      benchmark::DoNotOptimize(FindDictEntry(group, element));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kTags.size()));
}

void LookupVR(benchmark::State &state) {
  DcmTag tag;
  for (auto _ : state)
    for (auto [group, element] : kTags) {
      tag.Group = group;
      tag.Element = element;
      tag.LookupVR();
      benchmark::DoNotOptimize(tag.VR.data());
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kTags.size()));
}

void NameOfUID(benchmark::State &state) {
  const std::string uid = "1.2.840.10008.5.1.1.4";
  for (auto _ : state)
    benchmark::DoNotOptimize(UIDName(uid));
  state.SetItemsProcessed(int64_t(state.iterations()));
}

} // namespace

BENCHMARK(LinearReference);
BENCHMARK(FindEntry);
BENCHMARK(LookupVR);
BENCHMARK(NameOfUID);

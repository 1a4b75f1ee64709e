#pragma once
// The data dictionary (tag -> VR and name, from the PS3.6 registry) and the
// UID name table.
#include <cstdint>
#include <span>
#include <string>

struct DictStruct {
  uint16_t group;
  uint16_t element;
  const char *vr;          // one VR; "DL" for items and delimiters
  const char *description; // retired elements end in " (RET)"
};

// The entry of the tag, or null. No repeating-group matching: only the first
// group of the curve (5000) and overlay (6000) groups is in the table.
const DictStruct *FindDictEntry(uint16_t group, uint16_t element);

// Every entry, sorted by tag.
std::span<const DictStruct> DictionaryEntries();

// The readable name of a UID (whole-text match), or an empty text.
std::string UIDName(const std::string &uid);

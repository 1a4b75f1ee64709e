#include "print/dataset_walk.h"

#include "dicom/dcm_obj.h"

bool OpensNesting(const DcmTag &tag) { return tag.UndefinedLength() && tag.Group != 0xFFFE; }

int ClosingPosition(const DcmObj &dataset, int position) {
  int depth = 0;
  for (int i = position; i < dataset.Count(); ++i) {
    const DcmTag &tag = *dataset.GetTag(i);
    if (OpensNesting(tag))
      ++depth;
    if (tag.Is(0xFFFE, 0xE0DD) && --depth == 0)
      return i;
  }
  return dataset.Count() - 1;
}

int TopLevelPosition(const DcmObj &dataset, unsigned group, unsigned element, bool &existing) {
  const unsigned key = (group << 16) | element;
  existing = false;
  int level = 0;
  for (int i = 0; i < dataset.Count(); ++i) {
    const DcmTag &tag = *dataset.GetTag(i);
    const unsigned tagKey = (unsigned{tag.Group} << 16) | tag.Element;
    if (level == 0 && tag.Group != 0xFFFE && tagKey >= key) {
      existing = tagKey == key;
      return i;
    }
    if (OpensNesting(tag) || (tag.Is(0xFFFE, 0xE000) && tag.UndefinedLength()))
      ++level;
    if ((tag.Is(0xFFFE, 0xE00D) || tag.Is(0xFFFE, 0xE0DD)) && level > 0)
      --level;
  }
  return dataset.Count();
}

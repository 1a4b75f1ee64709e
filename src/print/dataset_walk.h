#pragma once
// Walking the flat element list of a data set, where sequences and
// encapsulated pixel data of undefined length are runs of entries closed by a
// sequence delimitation item (FFFE,E0DD).
class DcmObj;
class DcmTag;

// An element whose content follows it in the list up to a sequence
// delimitation: a sequence or encapsulated pixel data of undefined length.
bool OpensNesting(const DcmTag &tag);

// The position of the sequence delimitation that closes the element at
// position (which opens nesting), or the last position when it is missing.
int ClosingPosition(const DcmObj &dataset, int position);

// The position at which a top-level element with the tag belongs in tag
// order; existing is set when an element with that tag stands there.
int TopLevelPosition(const DcmObj &dataset, unsigned group, unsigned element, bool &existing);

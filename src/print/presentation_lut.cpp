#include "print/presentation_lut.h"

bool PresentationLUT::Read(const DcmObj &) { return false; }

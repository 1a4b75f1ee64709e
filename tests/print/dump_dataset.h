#pragma once
// N-SET and N-CREATE data sets made as a print SCU sends them: a DCMTK dump
// text turned into an implicit VR little endian data set by dump2dcm, with
// sequences and items of defined or of undefined length, then decoded by the
// server's own codec.
#include <string>

#include "dicom/dcm_obj.h"

enum class SequenceLengths { Defined, Undefined };

// Fails the calling test (ADD_FAILURE) and returns an empty data set when
// dump2dcm cannot convert the text.
DcmObj DatasetFromDump(const std::string &dumpText, SequenceLengths lengths);

// The dump line of a Pixel Data value: 8-bit samples as OB bytes, wider
// samples as OW words, in hexadecimal.
std::string PixelDataLine(const std::vector<int> &samples, bool words);

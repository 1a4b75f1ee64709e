#pragma once
// The libjpeg error manager of the encoder and the decoder: a fatal library
// error jumps back to the caller's setjmp with the library's message captured,
// instead of ending the process; warnings and traces are not logged.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump; // set by the caller before any library call
  char message[JMSG_LENGTH_MAX];
};

// The standard manager with the jump and the silenced messages; for cinfo.err.
jpeg_error_mgr* UseJpegErrorManager(JpegErrorManager& manager);

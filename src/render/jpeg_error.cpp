#include "render/jpeg_error.h"

namespace {

void OnError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

} // namespace

jpeg_error_mgr* UseJpegErrorManager(JpegErrorManager& manager) {
  jpeg_error_mgr* base = jpeg_std_error(&manager.base);
  base->error_exit = OnError;
  base->emit_message = OnMessage;
  return base;
}

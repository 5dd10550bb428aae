#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "platform/jpeg_decoder.h"

namespace vellum::platform {

namespace {

const JOCTET kFakeEnd[2] = {0xFF, JPEG_EOI};

// The file's pieces as libjpeg asks for them, counting what was handed over
// so that a complaint can name its byte.
struct Source {
  jpeg_source_mgr pub{};
  const std::function<std::span<const uint8_t>()>* next = nullptr;
  uint64_t handed = 0;
  bool ended = false;

  uint64_t Position() const { return ended ? handed : handed - pub.bytes_in_buffer; }
};

struct Errors {
  jpeg_error_mgr pub{};
  std::jmp_buf jump{};
  Source* source = nullptr;
  bool complained = false;
  uint64_t at = 0;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<Source*>(cinfo->src);
  const std::span<const uint8_t> piece = s->ended ? std::span<const uint8_t>() : (*s->next)();
  if (piece.empty()) {
    // The data end before the image does: damaged from the end of the data
    // (whatever the decoder had read ahead), then an end marker so that the
    // decoder stops (as libjpeg's own file source does).
    s->ended = true;
    s->pub.next_input_byte = kFakeEnd;
    s->pub.bytes_in_buffer = 2;
    WARNMS(cinfo, JWRN_JPEG_EOF);
    return TRUE;
  }
  s->handed += piece.size();
  s->pub.next_input_byte = piece.data();
  s->pub.bytes_in_buffer = piece.size();
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* s = reinterpret_cast<Source*>(cinfo->src);
  while (count > 0 && static_cast<size_t>(count) > s->pub.bytes_in_buffer) {
    count -= static_cast<long>(s->pub.bytes_in_buffer);
    s->pub.bytes_in_buffer = 0;
    FillInput(cinfo);
  }
  if (count > 0) {
    s->pub.next_input_byte += count;
    s->pub.bytes_in_buffer -= static_cast<size_t>(count);
  }
}

// The first complaint ends the decoding: what follows it adds nothing.
[[noreturn]] void Complain(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<Errors*>(cinfo->err);
  if (!e->complained) {
    e->complained = true;
    e->at = e->source->Position();
  }
  std::longjmp(e->jump, 1);
}

void ErrorExit(j_common_ptr cinfo) { Complain(cinfo); }
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) Complain(cinfo);  // a warning: corrupt data, a premature end
}
void OutputMessage(j_common_ptr) {}

// Every scanline at an eighth of the size; the setjmp frame holds no object
// that needs destroying.
bool DecodeAll(jpeg_decompress_struct& cinfo, Errors& errors) {
  if (setjmp(errors.jump) != 0) return false;
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = 8;
  cinfo.dct_method = JDCT_IFAST;
  cinfo.do_fancy_upsampling = FALSE;
  cinfo.do_block_smoothing = FALSE;
  jpeg_start_decompress(&cinfo);
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * cinfo.output_components, 1);
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, row, 1);
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

JpegDecodeResult DecodeJpeg(const std::function<std::span<const uint8_t>()>& next) {
  jpeg_decompress_struct cinfo{};
  Errors errors;
  Source source;
  source.next = &next;
  errors.source = &source;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.emit_message = EmitMessage;
  errors.pub.output_message = OutputMessage;
  jpeg_create_decompress(&cinfo);
  source.pub.init_source = InitSource;
  source.pub.fill_input_buffer = FillInput;
  source.pub.skip_input_data = SkipInput;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = TermSource;
  cinfo.src = &source.pub;
  const bool whole = DecodeAll(cinfo, errors) && !errors.complained;
  jpeg_destroy_decompress(&cinfo);
  JpegDecodeResult result;
  result.available = true;
  result.whole = whole;
  result.damagedFrom = errors.complained ? errors.at : source.Position();
  return result;
}

}  // namespace vellum::platform

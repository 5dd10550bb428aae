// The sample files of tests/data/content with the size each one's rule
// gives, shared by the analyser tests and the scans of the media images.
#pragma once

#include <cstdint>

namespace vellum::testing {

// The rule's size when the file's end marker is missing: everything up to
// the volume's end is scanned.
inline constexpr uint64_t kToVolumeEnd = UINT64_MAX;

struct Sample {
  const char* file;
  const char* ext;
  uint64_t ruleSize;  // 0: the file's true size
  const char* why = "";
};

inline const Sample kSamples[] = {
    {"jfif.jpg", "jpg", 0},
    {"gradient.png", "png", 0},
    {"gradient.gif", "gif", 0},
    {"plasma.gif", "gif", 0},
    {"early.gif", "gif", 15, "its colour table holds 00 3B at offset 13; the file has 48 bytes"},
    {"teal.bmp", "bmp", 0},
    {"teal-le.tif", "tif", 0},
    {"teal-be.tif", "tif", 0},
    {"gradient.jp2", "jp2", 0},
    {"gradient.j2k", "j2k", 0},
    {"frames.mng", "mng", 0},
    {"clip.mp4", "mp4", 0},
    {"faststart.mp4", "mp4", 0},
    {"clip.mov", "mov", 0},
    {"tone.m4a", "m4a", 0},
    {"clip.wmv", "wmv", 0},
    {"clip.mpg", "mpg", kToVolumeEnd, "ffmpeg writes no program end code; true 2,048"},
    {"clip.m1v", "mpg", kToVolumeEnd, "ffmpeg writes no sequence end code; true 767"},
    {"clip.avi", "avi", 0},
    {"tone.wav", "wav", 0},
    {"plain.zip", "zip", 0},
    // LibreOffice leaves member sizes to data descriptors, so the walk over the
    // local headers cannot reach the application folder: listed as zip.
    {"letter.docx", "zip", 0},
    {"sheet.xlsx", "zip", 0},
    {"slides.pptx", "zip", 0},
    {"rezipped-letter.docx", "docx", 0},
    {"rezipped-sheet.xlsx", "xlsx", 0},
    {"rezipped-slides.pptx", "pptx", 0},
    {"letter.doc", "doc", 0},
    {"sheet.xls", "xls", 0},
    {"slides.ppt", "ppt", 0},
    {"level0.lzh", "lzh", 0},
    {"level1.lzh", "lzh", 0},
    {"level2.lzh", "lzh", 0},
    {"plain.pdf", "pdf", 2'334, "%%EOF ends with one line feed, the rule counts two bytes after EOF; true 2,333"},
    {"office.pdf", "pdf", 8'587, "%%EOF ends with one line feed; true 8,586"},
    {"linearized.pdf", "pdf", 0, "the declared /L wins over the first %%EOF at 536"},
    {"clip.ts", "ts", 0},
    {"clip.m2ts", "mts", 0},
    {"tone.mp3", "mp3", 0},
    {"tone.flac", "flac", 0},
    {"tone.ogg", "ogg", 0},
    {"tone.opus", "opus", 0},
    {"archive.7z", "7z", 0},
    {"numbers.txt.gz", "gz", 0},
    {"notes.sqlite", "sqlite", 0},
};

}  // namespace vellum::testing

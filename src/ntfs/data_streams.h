// The alternate data streams of a file record: each named $DATA attribute,
// listed and restored as a file of its own beside the record's file
// ("Report.docx:summary", as other NTFS tools name it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// A record claiming more streams than this is damaged; the rest are not listed.
inline constexpr size_t kMaxStreamsPerRecord = 64;

struct DataStream {
  std::u16string name;  // as the attribute holds it
  std::string utf8;     // the same, for rows and file names
  uint64_t size = 0;    // the data size (non-resident) or the value length
};

// The record's named $DATA attributes in the order the record (then its
// attribute list) holds them, each name once. Names that are not valid
// UTF-16 are listed with replacement characters, as file names are.
std::vector<DataStream> NamedDataStreams(volume::ScanState& state, ByteView record);

// The attribute name of the record's stream whose UTF-8 name is `utf8`;
// none when the record holds no such stream.
std::optional<std::u16string> StreamNamed(volume::ScanState& state, ByteView record, const std::string& utf8);

// The stream's own name taken from a row's "NAME:STREAM" (after the last
// ':', which neither a Windows file name nor a stream name holds).
struct StreamRowName {
  std::string file;
  std::string stream;
};
StreamRowName SplitStreamRowName(const std::string& rowName);

}  // namespace vellum::ntfs

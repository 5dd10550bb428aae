#include "ntfs/data_streams.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "ntfs/find_attribute.h"
#include "platform/codepage.h"

namespace vellum::ntfs {

namespace {

std::string Utf8Of(const std::u16string& name) {
  std::string utf8;
  platform::Utf16ToUtf8(std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(name.data()), name.size()),
                        utf8);
  return utf8;
}

bool Known(const std::vector<DataStream>& streams, const std::u16string& name) {
  return std::any_of(streams.begin(), streams.end(), [&](const DataStream& s) { return s.name == name; });
}

void Add(std::vector<DataStream>& streams, std::u16string name, const AttributeHeader& h) {
  if (streams.size() >= kMaxStreamsPerRecord || Known(streams, name)) return;
  DataStream s;
  s.utf8 = Utf8Of(name);
  s.name = std::move(name);
  s.size = h.nonResident ? h.dataSize : h.valueLength;
  streams.push_back(std::move(s));
}

// The streams the record holds itself: the first extent of each (a later
// extent repeats the name without the size).
void StreamsInRecord(ByteView record, std::vector<DataStream>& streams) {
  AttributeWalk walk(record);
  for (AttributeRef ref; walk.Next(ref);) {
    const ByteView a = AttributeBytes(record, ref);
    const auto h = ParseAttribute(a);
    if (!h || h->type != kAttrData || h->nameLength == 0 || (h->nonResident && h->firstVcn != 0)) continue;
    Add(streams, AttributeNameOf(a, *h), *h);
  }
}

// Those moved to extension records, as the attribute list names them.
void StreamsThroughList(volume::ScanState& state, ByteView record, std::vector<DataStream>& streams) {
  const auto listRef = FindInRecord(record, kAttrAttributeList, 0);
  if (!listRef) return;
  std::vector<uint8_t> list;
  ReadAttributeValue(state, record, *listRef, kMaxAttributeListBytes, list);
  AttributeListWalk entries(list);
  std::vector<uint8_t> copy;
  for (ListEntry entry; entries.Next(entry) && streams.size() < kMaxStreamsPerRecord;) {
    if (entry.type != kAttrData || entry.name.empty() || entry.firstVcn != 0 || Known(streams, entry.name)) continue;
    AttributeRef ref;
    if (const auto h = FindHeader(state, record, kAttrData, copy, ref, entry.name)) Add(streams, entry.name, *h);
  }
}

}  // namespace

std::vector<DataStream> NamedDataStreams(volume::ScanState& state, ByteView record) {
  std::vector<DataStream> streams;
  StreamsInRecord(record, streams);
  if (state.mftRecordSize == record.size()) StreamsThroughList(state, record, streams);
  return streams;
}

std::optional<std::u16string> StreamNamed(volume::ScanState& state, ByteView record, const std::string& utf8) {
  for (DataStream& stream : NamedDataStreams(state, record))
    if (stream.utf8 == utf8) return std::move(stream.name);
  return std::nullopt;
}

StreamRowName SplitStreamRowName(const std::string& rowName) {
  const size_t colon = rowName.rfind(':');
  if (colon == std::string::npos) return {rowName, {}};
  return {rowName.substr(0, colon), rowName.substr(colon + 1)};
}

}  // namespace vellum::ntfs

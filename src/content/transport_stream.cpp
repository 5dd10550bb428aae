// MPEG transport streams (.ts, and the .mts/.m2ts of AVCHD cameras and
// Blu-ray): a run of fixed-size packets, each beginning with the sync byte.
// The stream has no length field and no end marker, so its length is the
// run of packets whose headers hold.
#include <algorithm>

#include "content/file_stream.h"
#include "content/format_measures.h"

namespace vellum::content {

namespace {

constexpr uint8_t kSync = 0x47;
constexpr uint32_t kPacketBytes = 188;
constexpr uint32_t kTimecodedPacketBytes = 192;  // a 4-byte arrival time stamp, then the packet
// Packets of the first cluster tested by the signature, and the fewest a
// stream must have to be listed.
constexpr uint64_t kSignaturePackets = 8;
constexpr uint64_t kFewestPackets = 4;

// The 4-byte packet header at `h`: the sync byte, no transport error, and an
// adaptation-field control other than the reserved 00.
bool PacketHeaderHolds(ByteView h) {
  return h.size() >= 4 && h[0] == kSync && (h[1] & 0x80) == 0 && (h[3] & 0x30) != 0;
}

// A stream's first packet starts a table: the program association table
// (PID 0) or, as some muxers write first, the service description (PID
// 0x11), with its continuity counter still at 0. Inside a stream most
// packets carry audio and video, and the tables repeated among them count
// on from 0, so a cluster that happens to begin on a packet boundary is
// seldom taken for a file's start (one repetition in sixteen still is).
bool BeginsATable(ByteView h) {
  const uint16_t pid = static_cast<uint16_t>(((h[1] & 0x1F) << 8) | h[2]);
  return (h[1] & 0x40) != 0 && (pid == 0x0000 || pid == 0x0011) && (h[3] & 0x0F) == 0;
}

bool PacketsHold(ByteView first, uint32_t packetBytes) {
  const uint32_t syncAt = packetBytes - kPacketBytes;
  if (!PacketHeaderHolds(first.subspan(std::min<size_t>(syncAt, first.size()))) ||
      !BeginsATable(first.subspan(syncAt)))
    return false;
  uint64_t tested = 0;
  for (uint64_t at = 0; tested < kSignaturePackets && at + syncAt + 4 <= first.size(); at += packetBytes, ++tested)
    if (!PacketHeaderHolds(first.subspan(at + syncAt, 4))) return false;
  return tested >= 3;  // a 512-byte cluster holds three packet headers
}

// The continuity counters of the two tables a stream begins with. A file
// written right after another on the card continues the run of sync bytes,
// but its tables count again from 0: a table packet whose counter is not
// the next one begins another stream. (The repetition of a packet the
// standard allows is not met in the tables of recorded files.) The new
// stream's first table may happen to carry the very counter expected; then
// its second one tells, and the stream is taken to end before the first.
class TableCounters {
 public:
  enum class Verdict { kFollows, kNewStreamHere, kNewStreamAtPrevious };

  Verdict Next(ByteView h) {
    const uint16_t pid = static_cast<uint16_t>(((h[1] & 0x1F) << 8) | h[2]);
    const bool previousFresh = fresh_;
    fresh_ = false;
    if ((pid != 0x0000 && pid != 0x0011) || (h[3] & 0x10) == 0) return Verdict::kFollows;  // no table payload
    const size_t t = pid == 0 ? 0 : 1;
    const int cc = h[3] & 0x0F;
    const bool follows = last_[t] < 0 || cc == ((last_[t] + 1) & 0x0F);
    last_[t] = cc;
    fresh_ = cc == 0 && (h[1] & 0x40) != 0;
    if (follows) return Verdict::kFollows;
    return previousFresh ? Verdict::kNewStreamAtPrevious : Verdict::kNewStreamHere;
  }

 private:
  int last_[2] = {-1, -1};
  bool fresh_ = false;  // the previous packet began a table with its counter at 0
};

}  // namespace

uint32_t TransportPacketBytes(ByteView first) {
  if (PacketsHold(first, kPacketBytes)) return kPacketBytes;
  if (PacketsHold(first, kTimecodedPacketBytes)) return kTimecodedPacketBytes;
  return 0;
}

Measured MeasureTransportStream(volume::ScanState& state, uint64_t cluster, ByteView data) {
  const uint32_t packetBytes = TransportPacketBytes(data);
  if (packetBytes == 0) return {};
  const uint32_t syncAt = packetBytes - kPacketBytes;
  FileStream stream(state, cluster, data);
  TableCounters tables;
  uint64_t packets = 0;
  for (uint64_t pos = 0;; pos += packetBytes, ++packets) {
    // A packet counts when it is whole: its header holds and its last byte is there.
    const ByteView header = stream.At(pos + syncAt, 4);
    if (!PacketHeaderHolds(header)) break;
    const TableCounters::Verdict next = tables.Next(header);
    if (next == TableCounters::Verdict::kNewStreamAtPrevious) --packets;
    if (next != TableCounters::Verdict::kFollows) break;
    if (stream.At(pos + packetBytes - 1, 1).empty()) break;
  }
  if (packets < kFewestPackets) return {};
  return {packets * packetBytes, {}};
}

}  // namespace vellum::content

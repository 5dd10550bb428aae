#include "content/tiff.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <string_view>
#include <vector>

namespace vellum::content {

namespace {

// Far beyond any camera's files (a few dozen IFDs of a few hundred entries),
// and small enough that a hostile chain costs little.
constexpr size_t kMaxIfds = 512;
constexpr uint64_t kMaxEntriesPerIfd = 4096;
constexpr uint64_t kMaxEntries = 65'536;
constexpr uint64_t kMaxArrayValues = 1 << 20;  // strips or tiles of one image

constexpr uint16_t kMake = 0x010F, kStripOffsets = 0x0111, kStripByteCounts = 0x0117, kSubIfds = 0x014A,
                   kTileOffsets = 0x0144, kTileByteCounts = 0x0145, kJpegOffset = 0x0201, kJpegLength = 0x0202,
                   kExifIfd = 0x8769, kGpsIfd = 0x8825, kInteropIfd = 0xA005, kDngVersion = 0xC612;
constexpr uint16_t kTypeIfd = 13, kTypeIfd8 = 18;

uint64_t TypeBytes(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;
  }
}

struct Header {
  bool big = false;     // byte order MM
  bool wide = false;    // BigTIFF: 8-byte counts and offsets
  uint64_t firstIfd = 0;
  std::string magicExtension;  // ORF and RW2 say what they are in their magic
};

bool ReadHeader(LostFile& file, Header& h) {
  uint8_t b[16] = {};
  if (!file.Read(0, b)) return false;
  if (b[0] != b[1] || (b[0] != 'I' && b[0] != 'M')) return false;
  h.big = b[0] == 'M';
  const uint16_t magic = h.big ? uint16_t(b[2] << 8 | b[3]) : uint16_t(b[3] << 8 | b[2]);
  auto u32 = [&](int at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | b[at + (h.big ? i : 3 - i)];
    return v;
  };
  if (magic == 0x2B) {
    h.wide = true;
    h.firstIfd = uint64_t{u32(h.big ? 12 : 8)} | (uint64_t{u32(h.big ? 8 : 12)} << 32);
    return true;
  }
  if (magic == 0x4F52 || magic == 0x5352) h.magicExtension = "orf";
  else if (magic == 0x0055) h.magicExtension = "rw2";
  else if (magic != 0x2A) return false;
  h.firstIfd = u32(4);
  return true;
}

// One IFD entry as read.
struct Entry {
  uint16_t tag = 0, type = 0;
  uint64_t count = 0;
  uint64_t valueAt = 0;  // file offset of the value, in the entry or out of line
  uint64_t bytes = 0;    // count x the type's size
};

class TiffWalk {
 public:
  TiffWalk(LostFile& file, const Header& h, bool cr2) : file_(file), h_(h), cr2_(cr2) {}

  TiffLength Run() {
    Push(h_.firstIfd);
    size_t ifds = 0;
    while (!pending_.empty() && ifds < kMaxIfds && entries_ < kMaxEntries && !file_.Cancelled()) {
      const uint64_t at = pending_.top();
      pending_.pop();
      if (!done_.insert(at)) continue;
      ++ifds;
      if (!WalkIfd(at, ifds == 1)) break;
    }
    TiffLength out;
    out.size = ifdsRead_ ? std::min(end_, file_.Limit()) : 0;
    out.extension = Extension();
    return out;
  }

 private:
  // IFD offsets seen, so that a chain pointing back on itself ends.
  struct Seen {
    std::vector<uint64_t> at;
    bool insert(uint64_t v) {
      if (std::find(at.begin(), at.end(), v) != at.end()) return false;
      at.push_back(v);
      return true;
    }
  };

  uint64_t Word() const { return h_.wide ? 8 : 4; }

  bool Field(uint64_t at, uint64_t width, uint64_t& out) {
    uint8_t b[8] = {};
    if (width > 8 || !file_.Read(at, MutableBytes(b, width))) return false;
    out = 0;
    for (uint64_t i = 0; i < width; ++i) out = (out << 8) | b[h_.big ? i : width - 1 - i];
    return true;
  }

  void Push(uint64_t at) {
    // An IFD lies past the header, on a word boundary by the format's rule
    // (some writers ignore it, so only evenness is asked), inside the volume.
    if (at >= 8 && at % 2 == 0 && at < file_.Limit()) pending_.push(at);
  }

  void Reach(uint64_t at, uint64_t bytes) {
    uint64_t end = 0;
    // A value said to end past the volume cannot be this file's.
    if (!CheckedAdd(at, bytes, end) || end > file_.Limit()) return;
    end_ = std::max(end_, end);
  }

  bool ReadEntry(uint64_t at, Entry& e) {
    uint64_t tag = 0, type = 0;
    if (!Field(at, 2, tag) || !Field(at + 2, 2, type) || !Field(at + 4, Word(), e.count)) return false;
    e.tag = static_cast<uint16_t>(tag);
    e.type = static_cast<uint16_t>(type);
    const uint64_t inEntry = at + 4 + Word();
    e.valueAt = inEntry;
    if (!CheckedMul(e.count, TypeBytes(e.type), e.bytes)) e.bytes = UINT64_MAX;
    if (e.bytes > Word() && !Field(inEntry, Word(), e.valueAt)) return false;
    if (e.bytes > Word()) Reach(e.valueAt, e.bytes);
    return true;
  }

  // The values of an entry of SHORT, LONG or LONG8 (or IFD) type.
  std::vector<uint64_t> Values(const Entry& e) {
    std::vector<uint64_t> values;
    const uint64_t width = TypeBytes(e.type);
    if (width < 2 || e.type == 5 || e.type == 10 || e.type == 12) return values;
    const uint64_t n = std::min(e.count, kMaxArrayValues);
    values.reserve(n);
    for (uint64_t i = 0; i < n; ++i) {
      uint64_t v = 0;
      if (!Field(e.valueAt + i * width, width, v)) break;
      values.push_back(v);
    }
    return values;
  }

  void Pair(const std::vector<uint64_t>& offsets, const std::vector<uint64_t>& lengths) {
    for (size_t i = 0; i < offsets.size() && i < lengths.size(); ++i) Reach(offsets[i], lengths[i]);
  }

  void Take(const Entry& e, bool first) {
    switch (e.tag) {
      case kStripOffsets: strips_ = Values(e); break;
      case kStripByteCounts: stripBytes_ = Values(e); break;
      case kTileOffsets: tiles_ = Values(e); break;
      case kTileByteCounts: tileBytes_ = Values(e); break;
      case kJpegOffset: jpeg_ = Values(e); break;
      case kJpegLength: jpegBytes_ = Values(e); break;
      case kSubIfds: case kExifIfd: case kGpsIfd: case kInteropIfd:
        for (uint64_t at : Values(e)) Push(at);
        break;
      case kDngVersion: dng_ = true; break;
      case kMake:
        if (first) ReadMake(e);
        break;
      default:
        if (e.type == kTypeIfd || e.type == kTypeIfd8)
          for (uint64_t at : Values(e)) Push(at);
    }
  }

  void ReadMake(const Entry& e) {
    std::vector<uint8_t> text(static_cast<size_t>(std::min<uint64_t>(e.count, 32)));
    if (file_.Read(e.valueAt, text)) make_.assign(text.begin(), std::find(text.begin(), text.end(), 0));
  }

  bool WalkIfd(uint64_t at, bool first) {
    uint64_t count = 0;
    if (!Field(at, h_.wide ? 8 : 2, count) || count == 0 || count > kMaxEntriesPerIfd) return ifdsRead_ > 0;
    const uint64_t entryBytes = h_.wide ? 20 : 12;
    strips_.clear(), stripBytes_.clear(), tiles_.clear(), tileBytes_.clear(), jpeg_.clear(), jpegBytes_.clear();
    const uint64_t entriesAt = at + (h_.wide ? 8 : 2);
    for (uint64_t i = 0; i < count && entries_ < kMaxEntries; ++i, ++entries_) {
      Entry e;
      if (!ReadEntry(entriesAt + i * entryBytes, e)) return ifdsRead_ > 0;
      Take(e, first);
    }
    Pair(strips_, stripBytes_);
    Pair(tiles_, tileBytes_);
    Pair(jpeg_, jpegBytes_);
    const uint64_t nextAt = entriesAt + count * entryBytes;
    Reach(at, nextAt + Word() - at);
    ++ifdsRead_;
    uint64_t next = 0;
    if (Field(nextAt, Word(), next) && next != 0) Push(next);
    return true;
  }

  std::string Extension() const {
    if (!h_.magicExtension.empty()) return h_.magicExtension;
    if (cr2_) return "cr2";
    if (dng_) return "dng";
    std::string upper;
    for (char ch : make_) upper += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
    static constexpr std::pair<std::string_view, std::string_view> kMakes[] = {
        {"NIKON", "nef"}, {"SONY", "arw"}, {"PENTAX", "pef"}, {"RICOH", "pef"}, {"OLYMPUS", "orf"},
        {"OM DIGITAL", "orf"}, {"PANASONIC", "rw2"}, {"EPSON", "erf"}, {"HASSELBLAD", "3fr"}};
    for (const auto& [maker, ext] : kMakes)
      if (upper.starts_with(maker)) return std::string(ext);
    return "tif";
  }

  LostFile& file_;
  Header h_;
  bool cr2_;
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> pending_;
  Seen done_;
  uint64_t entries_ = 0;
  uint64_t end_ = 0;
  size_t ifdsRead_ = 0;
  std::vector<uint64_t> strips_, stripBytes_, tiles_, tileBytes_, jpeg_, jpegBytes_;
  bool dng_ = false;
  std::string make_;
};

}  // namespace

bool TiffHeader(ByteView b) {
  if (b.size() < 4 || b[0] != b[1] || (b[0] != 'I' && b[0] != 'M')) return false;
  const bool big = b[0] == 'M';
  const uint16_t magic = big ? uint16_t(b[2] << 8 | b[3]) : uint16_t(b[3] << 8 | b[2]);
  return magic == 0x2A || magic == 0x2B || (!big && (magic == 0x4F52 || magic == 0x5352 || magic == 0x0055));
}

TiffLength MeasureTiff(LostFile& file) {
  Header h;
  if (!ReadHeader(file, h)) return {};
  uint8_t marker[2] = {};
  // Canon's CR2 writes "CR" and its major version after the classic header.
  const bool cr2 = !h.wide && file.Read(8, marker) && marker[0] == 'C' && marker[1] == 'R';
  return TiffWalk(file, h, cr2).Run();
}

}  // namespace vellum::content

#include "platform/images/split_raw.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/device_open.h"
#include "platform/file_system.h"
#include "platform/images/split_pieces.h"

namespace vellum::platform {

namespace {

namespace fs = std::filesystem;

// A set of hundreds of pieces must not take as many descriptors; reads go
// mostly forward, so a few open pieces serve them.
constexpr size_t kOpenPieces = 8;
// .001 to .999: no set has more pieces than its numbering allows.
constexpr size_t kMaxPieces = 1000;

class SplitRawDevice : public BlockDevice {
 public:
  SplitRawDevice(std::vector<std::string> paths, PieceMap map)
      : paths_(std::move(paths)), map_(std::move(map)), pieces_(paths_.size()) {}
  SplitRawDevice(const SplitRawDevice&) = delete;
  SplitRawDevice& operator=(const SplitRawDevice&) = delete;

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    std::fill(out.begin(), out.end(), uint8_t{0});
    uint64_t done = 0;
    bool ok = true;
    for (const PieceMap::Span& s : map_.Locate(offset, out.size())) {
      ok = ReadPiece(s, out.subspan(static_cast<size_t>(done), static_cast<size_t>(s.length))) && ok;
      done += s.length;
    }
    return ok && done == out.size();
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return map_.Size(); }
  uint32_t SectorSize() const override { return 512; }
  bool Writable() const override { return false; }
  std::string LastError() const override { return lastError_; }
  std::vector<std::string> BackingFiles() const override { return paths_; }

 private:
  BlockDevice* OpenPiece(size_t piece) {
    if (pieces_[piece]) return pieces_[piece].get();
    if (open_.size() >= kOpenPieces) {
      pieces_[open_.front()].reset();
      open_.pop_front();
    }
    OpenResult opened = OpenDevice(paths_[piece], OpenAccess::ReadOnly);
    if (!opened.device) {
      lastError_ = paths_[piece] + ": " + opened.errorText;
      return nullptr;
    }
    pieces_[piece] = std::move(opened.device);
    open_.push_back(piece);
    return pieces_[piece].get();
  }

  bool ReadPiece(const PieceMap::Span& s, std::span<uint8_t> out) {
    BlockDevice* piece = OpenPiece(s.piece);
    if (!piece) return false;
    if (piece->Read(s.offsetInPiece, out)) return true;
    // A piece that shrank since it was opened reads short, and says so.
    const std::string why = piece->LastError();
    lastError_ = paths_[s.piece] + ": " + (why.empty() ? "開いたときより短くなっています" : why);
    return false;
  }

  std::vector<std::string> paths_;
  PieceMap map_;
  std::vector<std::unique_ptr<BlockDevice>> pieces_;
  std::deque<size_t> open_;
  std::string lastError_;
};

std::string Piece(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : Utf8FromPath(PathFromUtf8(dir) / PathFromUtf8(name));
}

// Every piece but the last is as long as the first: split and the imagers
// cut equal pieces, so a shorter one was cut off on its way here.
std::string CheckPieceSizes(const std::vector<std::string>& paths, const std::vector<uint64_t>& sizes) {
  for (size_t i = 1; i + 1 < sizes.size(); ++i)
    if (sizes[i] != sizes[0])
      return paths[0] + " を開けません: 分割 raw イメージの断片 " + paths[i] + " は " +
             std::to_string(sizes[i]) + " バイトで、最初の断片は " + std::to_string(sizes[0]) +
             " バイトです。断片の組が途中で切れているか、別の組が混じっています。";
  if (sizes.back() > sizes[0])
    return paths[0] + " を開けません: 分割 raw イメージの最後の断片 " + paths.back() +
           " が最初の断片より長く、別の組が混じっています。";
  return {};
}

}  // namespace

ImageOpen OpenSplitRaw(const std::string& path) {
  const fs::path p = PathFromUtf8(path);
  const std::string dir = Utf8FromPath(p.parent_path());
  const std::string name = Utf8FromPath(p.filename());
  if (!IsFirstPieceName(name)) return {};
  std::vector<std::string> paths{path};
  std::vector<uint64_t> sizes(1);
  if (!RegularFileSize(path, sizes[0])) return {};
  for (auto next = NextPieceName(name); next; next = NextPieceName(*next)) {
    uint64_t size = 0;
    if (!RegularFileSize(Piece(dir, *next), size)) {
      // A gap: the piece after the missing one is there.
      if (auto after = NextPieceName(*next); after && PathExists(Piece(dir, *after)))
        return ImageFailure(path + " を開けません: 分割 raw イメージの断片 " + Piece(dir, *next) + " がありません。");
      break;
    }
    if (paths.size() == kMaxPieces) break;
    paths.push_back(Piece(dir, *next));
    sizes.push_back(size);
  }
  if (paths.size() < 2) return {};
  if (std::string why = CheckPieceSizes(paths, sizes); !why.empty()) return ImageFailure(why);
  PieceMap map;
  if (!map.Assign(sizes)) return ImageFailure(path + " を開けません: 断片を合わせるとディスクが持てる大きさを超えます。");
  ImageOpen r;
  r.device = std::make_unique<SplitRawDevice>(std::move(paths), std::move(map));
  return r;
}

}  // namespace vellum::platform

// The part the VHD, VMDK and qcow adapters share: a disk that may read
// through a chain of parents (differencing disks, snapshots, backing files),
// each opened from where the child says it is, and a device over the chain.
//
// A Traits type supplies the library's calls for one format:
//   using Handle;
//   static Handle* Open(const std::string& path, std::string& why);
//   static void Close(Handle*);
//   static bool HasParent(Handle*);
//   static std::string ParentName(Handle*);
//   static bool ParentMatches(Handle* child, Handle* parent);
//   static bool SetParent(Handle* child, Handle* parent, std::string& why);
//   static ssize_t Read(Handle*, uint8_t*, size_t, uint64_t offset, std::string& why);
//   static uint64_t MediaSize(Handle*);
//   static uint32_t SectorSize(Handle*);
//   static std::vector<std::string> ExtraFiles(Handle*, const std::string& path);  // extents
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/images/image_open.h"
#include "platform/images/parent_path.h"

namespace vellum::platform {

template <typename Traits>
struct LibraryChain {
  using Handle = typename Traits::Handle;
  std::vector<Handle*> handles;  // the disk named first, then its parents
  std::vector<std::string> files;
  std::vector<std::string> paths;

  LibraryChain() = default;
  LibraryChain(LibraryChain&& other) noexcept
      : handles(std::move(other.handles)), files(std::move(other.files)), paths(std::move(other.paths)) {
    other.handles.clear();
  }
  LibraryChain(const LibraryChain&) = delete;
  LibraryChain& operator=(const LibraryChain&) = delete;
  // A child is closed before the parent it reads through.
  ~LibraryChain() {
    for (Handle* h : handles) Traits::Close(h);
  }
  void Add(Handle* h, const std::string& path) {
    handles.push_back(h);
    paths.push_back(path);
    for (std::string& f : Traits::ExtraFiles(h, path))
      if (std::find(files.begin(), files.end(), f) == files.end()) files.push_back(std::move(f));
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  }
};

template <typename Traits>
class LibraryChainDevice : public BlockDevice {
 public:
  explicit LibraryChainDevice(LibraryChain<Traits> chain)
      : chain_(std::move(chain)),
        size_(Traits::MediaSize(chain_.handles.front())),
        sectorSize_(Traits::SectorSize(chain_.handles.front())) {
    if (sectorSize_ < 512 || sectorSize_ > 32768) sectorSize_ = 512;
  }
  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    return ReadWithin(size_, offset, out, [this](uint64_t at, uint8_t* data, size_t length) {
      return Traits::Read(chain_.handles.front(), data, length, at, lastError_);
    });
  }
  bool Write(uint64_t, std::span<const uint8_t>) override { return false; }
  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return sectorSize_; }
  bool Writable() const override { return false; }
  std::string LastError() const override { return lastError_; }
  std::vector<std::string> BackingFiles() const override { return chain_.files; }

 private:
  LibraryChain<Traits> chain_;
  uint64_t size_;
  uint32_t sectorSize_;
  std::string lastError_;
};

// Opens the parent of the chain's last disk and links it in; an error text
// naming `top`, the file the user gave, when that fails.
template <typename Traits>
std::string LinkParent(LibraryChain<Traits>& chain, const std::string& top, const std::string& what) {
  typename Traits::Handle* child = chain.handles.back();
  const std::string stored = Traits::ParentName(child);
  const std::string found = FindParent(chain.paths.back(), stored);
  const std::string intro = top + " を開けません: " + what + "の親 ";
  if (stored.empty()) return top + " を開けません: " + what + "ですが、親の名前が書かれていません。";
  if (found.empty()) return intro + stored + " がありません (" + chain.paths.back() + " と同じフォルダを探しました)。";
  if (std::find(chain.paths.begin(), chain.paths.end(), found) != chain.paths.end())
    return intro + found + " は、それ自身の子孫です。";
  if (chain.handles.size() > kMaxParentDepth)
    return top + " を開けません: " + what + "の親のつながりが " + std::to_string(kMaxParentDepth) +
           " 段より深くなっています。";
  std::string why;
  typename Traits::Handle* parent = Traits::Open(found, why);
  if (!parent) return intro + found + " を読み取れません: " + why;
  chain.Add(parent, found);
  // A parent changed after the child was made, or another disk of the same
  // name, would hand out wrong sectors without a word.
  if (!Traits::ParentMatches(child, parent))
    return intro + found + " は、この差分の元になったディスクではありません (識別子が違います)。";
  if (!Traits::SetParent(child, parent, why)) return intro + found + " を使えません: " + why;
  return {};
}

// The disk at `path` and all its parents as one device. `what` names the
// format in messages ("差分 VHD ディスク").
template <typename Traits>
ImageOpen OpenLibraryChain(const std::string& path, const std::string& format, const std::string& what) {
  LibraryChain<Traits> chain;
  std::string why;
  typename Traits::Handle* first = Traits::Open(path, why);
  if (!first) return ImageFailure(path + " を開けません: " + format + " イメージを読み取れません: " + why);
  chain.Add(first, path);
  while (Traits::HasParent(chain.handles.back()))
    if (std::string error = LinkParent(chain, path, what); !error.empty()) return ImageFailure(error);
  ImageOpen r;
  r.device = std::make_unique<LibraryChainDevice<Traits>>(std::move(chain));
  return r;
}

}  // namespace vellum::platform

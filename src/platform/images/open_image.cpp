#include "platform/images/open_image.h"

#include "platform/file_system.h"
#include "platform/images/formats.h"
#include "platform/images/signature.h"
#include "platform/images/split_raw.h"

namespace vellum::platform {

namespace {

ImageOpen OpenContainer(const std::string& path, ContainerKind kind) {
  const std::string name = ContainerName(kind);
  switch (kind) {
    case ContainerKind::Ewf:
    case ContainerKind::Ewf2: return OpenEwfImage(path, name);
    case ContainerKind::Vhd:
    case ContainerKind::Vhdx: return OpenVhdiImage(path, name);
    case ContainerKind::Vmdk: return OpenVmdkImage(path, name);
    case ContainerKind::Qcow:
    case ContainerKind::Qcow2: return OpenQcowImage(path, name);
    case ContainerKind::EwfLogical:
      return ImageFailure(path + " を開けません: L01 の論理証拠ファイルは、コピーされたファイルを収めたもので、"
                          "検索できるディスクやボリュームではありません。");
    case ContainerKind::SplitRaw:
    case ContainerKind::None: break;
  }
  return {};
}

}  // namespace

std::string ContainerWriteRefusal(const std::string& path, const std::string& kind) {
  return path + " は " + kind +
         " のイメージで、読み取るだけです。完全削除にはボリュームそのもの（ディスク自体か、"
         "ディスクに書き戻したイメージ、raw イメージに変換したもの）が必要です。";
}

SourceFile OpenSourceFile(const std::string& path, OpenAccess access) {
  SourceFile r;
  auto opened = OpenDevice(path, OpenAccess::ReadOnly);
  if (!opened.device) {
    r.errorCode = opened.errorCode;
    r.systemText = opened.errorText;
    r.error = path + " を開けません: " + opened.errorText;
    return r;
  }
  // A block device is the volume's own bytes, whatever its first sector says.
  ContainerKind kind = IsRegularFile(path) ? DetectContainer(*opened.device) : ContainerKind::None;
  ImageOpen image;
  if (kind != ContainerKind::None) {
    image = OpenContainer(path, kind);
  } else if (IsRegularFile(path)) {
    image = OpenSplitRaw(path);
    if (image.device || !image.error.empty()) kind = ContainerKind::SplitRaw;
  }
  if (kind == ContainerKind::None) {
    if (access == OpenAccess::ReadOnly) {
      r.device = std::move(opened.device);
      return r;
    }
    opened = OpenDevice(path, access);
    r.device = std::move(opened.device);
    r.errorCode = opened.errorCode;
    r.systemText = opened.errorText;
    if (!r.device) r.error = path + " を開けません: " + opened.errorText;
    return r;
  }
  r.kind = ContainerName(kind);
  if (!image.device) {
    r.error = image.error;
    return r;
  }
  if (access != OpenAccess::ReadOnly) {
    r.error = ContainerWriteRefusal(path, r.kind);
    return r;
  }
  r.device = std::move(image.device);
  return r;
}

}  // namespace vellum::platform

#include "platform/qt/shell_info_qt.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace vellum::platform {

namespace {

// Names on a damaged disk can all differ; the cache must not grow with them.
constexpr size_t kCacheLimit = 4096;

std::string Utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QMimeType TypeFor(std::string_view nameOrExtension, bool directory) {
  const QMimeDatabase database;
  if (directory) return database.mimeTypeForName(QStringLiteral("inode/directory"));
  std::string_view extension = nameOrExtension;
  if (extension.starts_with('.')) extension.remove_prefix(1);
  // A made-up base name: the lookup goes by the name's pattern only and
  // never opens a file.
  const QString fileName =
      QStringLiteral("x.") +
      QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
  const QList<QMimeType> matches = database.mimeTypesForFileName(fileName);
  if (!matches.isEmpty()) return matches.front();
  return database.mimeTypeForName(QStringLiteral("application/octet-stream"));
}

}  // namespace

const ShellFileInfo& QtShellInfo::Lookup(std::string_view nameOrExtension, bool directory) {
  std::string key(directory ? "/" : "");
  key += nameOrExtension;
  if (const auto found = cache_.find(key); found != cache_.end()) return found->second;
  ShellFileInfo info = Resolve(nameOrExtension, directory);
  if (cache_.size() >= kCacheLimit) cache_.clear();
  return cache_.emplace(std::move(key), std::move(info)).first->second;
}

ShellFileInfo QtShellInfo::Resolve(std::string_view nameOrExtension, bool directory) {
  const QMimeType type = TypeFor(nameOrExtension, directory);
  ShellFileInfo info;
  if (!type.isValid()) return info;  // no MIME database installed: no type text
  info.typeName = Utf8(type.comment());
  info.mimeType = Utf8(type.name());
  info.iconIndex = IconIndex(Utf8(type.iconName()), Utf8(type.genericIconName()));
  return info;
}

int QtShellInfo::IconIndex(const std::string& iconName, const std::string& genericIconName) {
  if (const auto found = iconIndices_.find(iconName); found != iconIndices_.end()) {
    return found->second;
  }
  const int index = static_cast<int>(icons_.size());
  icons_.push_back({iconName, genericIconName});
  iconIndices_.emplace(iconName, index);
  return index;
}

std::unique_ptr<ShellInfo> MakeSystemShellInfo() { return std::make_unique<QtShellInfo>(); }

}  // namespace vellum::platform

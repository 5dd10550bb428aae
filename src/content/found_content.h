// A file recognised by its contents, as its row keeps it: a made-up name
// ("不明<cluster>.<ext>"), its first cluster and the size the analysis gave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vellum::content {

struct FoundContent {
  std::string name;
  std::string folder;  // below the volume root: "<不明>"
  uint64_t firstCluster = 0;
  uint64_t size = 0;

  // The extension the analysis chose, from which the type is known again.
  std::string_view Extension() const {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
  }
  bool operator==(const FoundContent&) const = default;
};

}  // namespace vellum::content

#include "volume/recoverability.h"

namespace vellum::volume {

Recoverability RecoverabilityOf(bool firstInUse, uint64_t inUse, uint64_t clusters, bool predicted) {
  Recoverability r;
  r.clustersInUse = inUse;
  r.clusters = clusters;
  r.state = firstInUse  ? RowState::kOverwritten
            : inUse > 0 ? RowState::kPartlyOverwritten
            : predicted ? RowState::kUnknown
                        : RowState::kIntact;
  return r;
}

std::string_view RowStateKey(RowState state) {
  switch (state) {
    case RowState::kIntact: return "intact";
    case RowState::kPartlyOverwritten: return "partly-overwritten";
    case RowState::kOverwritten: return "overwritten";
    case RowState::kUnknown: return "unknown";
    case RowState::kUnreadable: return "unreadable";
    case RowState::kPastVolumeEnd: return "past-volume-end";
    case RowState::kReadAsZeros: return "read-as-zeros";
  }
  return "unknown";
}

std::string RowStateText(const Recoverability& r) {
  switch (r.state) {
    case RowState::kIntact: return "上書きなし";
    case RowState::kPartlyOverwritten:
      return "一部上書き (" + std::to_string(r.clustersInUse) + "/" + std::to_string(r.clusters) + " クラスタ)";
    case RowState::kOverwritten: return "上書き済み";
    case RowState::kUnknown: return "不明 (クラスタの並びを予測)";
    case RowState::kUnreadable:
      return r.unreadable.empty() ? "読めない部分あり" : "読めない部分あり (バイト " + ByteRangesText(r.unreadable) + ")";
    case RowState::kPastVolumeEnd: return "ボリュームの終わりを越えるサイズ";
    case RowState::kReadAsZeros: return "0 としか読めない";
  }
  return "";
}

}  // namespace vellum::volume

#include "restore/restore_target.h"

#include "restore/restore_output.h"

namespace vellum::restore {

namespace {

class SilentMessages : public Messages {
 public:
  MessageAnswer Show(std::string_view, MessageButtons, MessageIcon, MessageAnswer answer) override { return answer; }
};

}  // namespace

Messages& MessagesOf(const RestoreTarget& target) {
  static SilentMessages silent;
  return target.messages ? *target.messages : silent;
}

Outcomes& OutcomesOf(const RestoreTarget& target) {
  static thread_local Outcomes scratch;
  return target.outcomes ? *target.outcomes : scratch;
}

std::string ParentOf(const RestoreTarget& target, const std::string& folder) {
  return folder.empty() ? target.root : target.root + "/" + folder;
}

void SkipPathTooLong(const RestoreTarget& target, const std::string& path) {
  SkipTooLong(MessagesOf(target), OutcomesOf(target), path);
}

std::string ResolveFolder(const RestoreTarget& target, const std::string& parent, const std::string& item) {
  if (parent == target.root) return parent;
  Outcomes& outcomes = OutcomesOf(target);
  if (parent.size() <= target.root.size() || parent.compare(0, target.root.size() + 1, target.root + "/") != 0) {
    outcomes.Skipped(item, kReasonUnsafeName);
    return {};
  }
  return JoinRecorded(target.root, parent.substr(target.root.size() + 1), MessagesOf(target), outcomes, item);
}

bool WriteRestoredFile(volume::ScanState& state, const RestoreTarget& target, const std::string& folder,
                       const std::string& name, timespec written, const std::function<bool(RestoredFile&)>& copy) {
  Outcomes& outcomes = OutcomesOf(target);
  RestoredFile file;
  if (!file.Create(folder, name, outcomes.DestinationOf())) {
    outcomes.Failed(file.Path(), WriteFailureReason(file.Error()));
    return false;
  }
  state.StartRestoringFile(name);
  file.SetWrittenObserver([&state](uint64_t bytes) { state.AddRestoredBytes(bytes); });
  const bool copied = copy(file);
  if (state.cancelled) {
    file.Abandon();  // a file cut short by Cancel must not look restored
    outcomes.Skipped(folder + "/" + name, kReasonInterrupted);
    return false;
  }
  return file.Finish(outcomes, written) && copied;
}

}  // namespace vellum::restore

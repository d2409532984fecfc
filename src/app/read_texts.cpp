#include "app/read_texts.h"

namespace pagewright {

namespace {
const char* OpenFailureText(int64_t why) {
  switch (static_cast<OpenFailure>(why)) {
    case OpenFailure::kCannotOpen: return open_text::kCannotOpen;
    case OpenFailure::kNotValid: return open_text::kNotValid;
    case OpenFailure::kNewCannotOpen: return open_text::kNewCannotOpen;
    case OpenFailure::kNewNotValid: return open_text::kNewNotValid;
  }
  return open_text::kNotValid;
}
}  // namespace

void SendReadEvent(NotificationSink* sink, const ReadEvent& e) {
  switch (e.code) {
    case ReadEventCode::kProgressRange: SendProgressRange(sink, e.a, e.b); return;
    case ReadEventCode::kProgressPosition: SendProgressPos(sink, e.a); return;
    case ReadEventCode::kCheckStarted: SendStatusText(sink, open_text::kChecking); return;
    case ReadEventCode::kCheckDone:
      SendStatusText(sink, static_cast<ReadFileRole>(e.a) == ReadFileRole::kNew ? open_text::kNewCheckDone
                                                                                 : open_text::kCheckDone);
      return;
    case ReadEventCode::kMappingStarted: SendStatusText(sink, open_text::kMapping); return;
    case ReadEventCode::kMappingDone: SendStatusText(sink, open_text::kMappingDone); return;
    case ReadEventCode::kSnapshotLoading: SendStatusText(sink, snapshot_text::kLoading); return;
    case ReadEventCode::kSnapshotLoaded: SendStatusText(sink, open_text::kSnapshotLoaded); return;
    case ReadEventCode::kOpenFailed: SendOpenFailed(sink, OpenFailureText(e.a)); return;
    case ReadEventCode::kModulesRetrieving: SendLogLine(sink, module_text::kRetrieving); return;
    case ReadEventCode::kModulesRetrieved: SendLogLine(sink, module_text::kRetrieved); return;
  }
}

const char* DamageReasonText(DamageReason reason) {
  switch (reason) {
    case DamageReason::kPageUnreadable: return "pages unreadable";
    case DamageReason::kRecordRejected: return "records rejected";
    case DamageReason::kRowDropped: return "rows dropped";
    case DamageReason::kLargeValueSkipped: return "large-value fragments skipped";
    case DamageReason::kValueCut: return "values cut at the size limit";
    case DamageReason::kForwardUnreadable: return "forwarded records unreadable";
    case DamageReason::kSecondaryFileMissing: return "secondary files missing";
    case DamageReason::kChainLoop: return "page chains cut by loops";
  }
  return "damaged places";
}

std::string DamageSummary(const DamageCounts& counts) {
  std::string text;
  for (size_t r = 0; r < kDamageReasonCount; ++r) {
    if (counts[r] == 0) continue;
    text += text.empty() ? "Damage: " : ", ";
    text += std::to_string(counts[r]) + " " + DamageReasonText(static_cast<DamageReason>(r));
  }
  return text.empty() ? std::string("No damage found.") : text + ".";
}

std::string export_text::Done(size_t tables, const std::string& output, bool clean) {
  return "Export completed: " + std::to_string(tables) + (tables == 1 ? " table" : " tables") + " written to " + output +
         (clean ? "." : ", with losses (see the log).");
}

}  // namespace pagewright

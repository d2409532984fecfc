// The texts the user sees for what the format layers report: progress and
// status of the open sequence, module text and snapshot loads, and the
// damage summary of a read.
#ifndef PAGEWRIGHT_APP_READ_TEXTS_H_
#define PAGEWRIGHT_APP_READ_TEXTS_H_

#include <string>

#include "state/damage.h"
#include "state/notifications.h"
#include "state/read_events.h"

namespace pagewright {

namespace open_text {
constexpr const char* kCannotOpen = "File cannot be open...........";
constexpr const char* kNotValid = "Whether File is not valid mdf file or file is highly corrupted...........";
constexpr const char* kNewCannotOpen = "New MDF File cannot be open...........";
constexpr const char* kNewNotValid =
    "Whether new File is not valid mdf file or file is highly corrupted...........";
constexpr const char* kChecking = "Checking for file corruption ...........";
constexpr const char* kCheckDone = "Checking for file corruption is done...........";
constexpr const char* kNewCheckDone = "Checking for new mdf file corruption is done...........";
constexpr const char* kMapping = "Mapping Database Objects...........";
constexpr const char* kMappingDone = "Mapping of Database Objects has been done ......................";
constexpr const char* kSnapshotLoaded = "Load snapshot finished..processing tables ......................";
}  // namespace open_text

namespace module_text {
constexpr const char* kRetrieving = "Retrieving Objects of Sysobjvalues System Tables...........";
constexpr const char* kRetrieved = "Retrieving  Objects of Sysobjvalues System Tables has been done...........";
}  // namespace module_text

namespace snapshot_text {
constexpr const char* kLoading = "Loading snapshot...please wait ......................";
constexpr const char* kSaving = "Saving Snapshot..Please wait....";
constexpr const char* kSaved = "Snapshot Saved successfully in path ";
constexpr const char* kCannotSave = "Snapshot cannot be saved.";
}  // namespace snapshot_text

namespace export_text {
constexpr const char* kNothingToExport = "Scan a database file before exporting its tables.";
constexpr const char* kNoTables = "The database holds no user table to export.";
// "Export completed: 3 tables written to /tmp/out." and, when a table was
// damaged or failed, "... written to /tmp/out, with losses (see the log)."
std::string Done(size_t tables, const std::string& output, bool clean);
}  // namespace export_text

// The notification an event becomes: progress range and position, status
// texts, open failures and log lines, exactly as the shell shows them.
void SendReadEvent(NotificationSink* sink, const ReadEvent& event);

// Passes every read event on to a notification sink as SendReadEvent says.
class NotificationEvents : public ReadEventSink {
 public:
  explicit NotificationEvents(NotificationSink* sink) : sink_(sink) {}
  void OnReadEvent(const ReadEvent& event) override { SendReadEvent(sink_, event); }

 private:
  NotificationSink* sink_;
};

// "pages unreadable", "records rejected", ... for each reason.
const char* DamageReasonText(DamageReason reason);
// "Damage: 3 pages unreadable, 1 records rejected." listing the reasons
// counted, or "No damage found." when none was.
std::string DamageSummary(const DamageCounts& counts);

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_READ_TEXTS_H_

// The read context: every input a decoder depends on besides the bytes.
//
// A small value passed into every read, the way a key-value store passes
// its read options: which rows count (deleted, advanced deleted), which
// catalog layout the records follow, whether large values are read or
// shown as placeholders, which file file id 1 names, the code pages of
// character data, the stop token and the damage reporter. A caller that
// needs a variation copies the context and changes the copy; nothing a
// decoder reads is shared state, so two reads may run at once.
#ifndef PAGEWRIGHT_STATE_READ_CONTEXT_H_
#define PAGEWRIGHT_STATE_READ_CONTEXT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "state/collation.h"
#include "state/damage.h"

namespace pagewright {

struct RowDecodeContext;  // the columns of a table, defined by the record layer

// Which file file id 1 names: the backup (old) file, scanned for the
// catalog, or the damaged (new) file, from which table rows are read once a
// scan has completed.
enum class PageSource : uint8_t { kOldFile, kNewFile };

// The bytes the large values of one read may still gather. A read that
// would go past it gives up (`exceeded`) and its values are incomplete: the
// caller reads again in smaller parts. Belongs to one thread.
struct LargeValueBudget {
  size_t left = 0;
  bool exceeded = false;
};

struct ReadContext {
  bool showDeleted = false;          // ghost records come back as rows
  bool showAdvancedDeleted = false;  // also records no slot points to
  bool legacyCatalog = false;        // SQL Server 2000 catalog and record layout
  bool placeholders = false;         // large values shown as placeholders, not read
  PageSource source = PageSource::kOldFile;
  const CollationTable* collations = nullptr;
  DatabaseCollation collation;
  // The columns of the table whose records are built (the compressed-record
  // rebuild needs them), or null.
  const RowDecodeContext* columns = nullptr;
  int32_t objectId = 0;  // the object being read, for damage reports
  const std::atomic<bool>* stop = nullptr;
  DamageReporter* damage = nullptr;
  LargeValueBudget* largeValueBudget = nullptr;  // null: values are gathered whole

  bool StopRequested() const { return stop != nullptr && stop->load(std::memory_order_relaxed); }
  bool OverBudget() const { return largeValueBudget != nullptr && largeValueBudget->exceeded; }
  void Report(const DamageEvent& event) const {
    if (damage == nullptr) return;
    DamageEvent e = event;
    if (e.objectId == 0) e.objectId = objectId;
    damage->Report(e);
  }
  void Report(DamageReason reason, int16_t fileId, int32_t page, int32_t slot = -1, int32_t offset = -1,
              int64_t bytes = 0) const {
    Report(DamageEvent{reason, 0, fileId, page, slot, offset, bytes});
  }
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_READ_CONTEXT_H_

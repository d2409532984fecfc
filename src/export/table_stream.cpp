#include "export/table_stream.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "catalog/object_details.h"
#include "records/record_enumeration.h"
#include "tabledata/record_paging.h"

namespace pagewright {

std::string AsciiLower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

namespace {

// "[dbo].[Order Details]", "dbo.Order Details", "Orders": the parts between
// the dots outside brackets, brackets taken off ("]]" inside is one "]").
std::vector<std::string> NameParts(const std::string& name) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c == '[') {
      for (++i; i < name.size(); ++i) {
        if (name[i] == ']') {
          if (i + 1 < name.size() && name[i + 1] == ']') {
            parts.back().push_back(']');
            ++i;
            continue;
          }
          break;
        }
        parts.back().push_back(name[i]);
      }
    } else if (c == '.') {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<TableEntry> UserTables(const DatabaseCatalog& catalog) {
  std::vector<TableEntry> out;
  for (const CatalogObject& o : catalog.objects) {
    if (o.typeCode != "U " || o.name.empty()) continue;
    if (std::any_of(out.begin(), out.end(), [&](const TableEntry& t) { return t.name == o.name; })) continue;
    TableEntry t;
    t.name = o.name;
    t.bareName = o.bareName.empty() ? o.name : o.bareName;
    if (o.name.size() > t.bareName.size() + 1 && o.name.compare(o.name.size() - t.bareName.size(), t.bareName.size(), t.bareName) == 0)
      t.schema = o.name.substr(0, o.name.size() - t.bareName.size() - 1);
    out.push_back(std::move(t));
  }
  return out;
}

const TableEntry* FindTable(const std::vector<TableEntry>& tables, const std::string& wanted, std::string* suggestion) {
  for (const auto& t : tables)
    if (t.name == wanted) return &t;
  const std::vector<std::string> parts = NameParts(wanted);
  std::string schema = parts.size() >= 2 ? AsciiLower(parts[parts.size() - 2]) : std::string();
  const std::string bare = AsciiLower(parts.back());
  std::vector<const TableEntry*> matches;
  for (const auto& t : tables) {
    if (AsciiLower(t.bareName) != bare) continue;
    if (parts.size() >= 2 && AsciiLower(t.schema) != schema) continue;
    matches.push_back(&t);
  }
  if (matches.size() == 1) return matches[0];
  if (matches.size() > 1) {
    // Several case variants or schemas: the exact spelling, then the
    // default schema dbo, decide; otherwise the name is ambiguous.
    for (auto pick : {std::function<bool(const TableEntry*)>([&](const TableEntry* t) { return t->bareName == parts.back(); }),
                      std::function<bool(const TableEntry*)>([&](const TableEntry* t) { return AsciiLower(t->schema) == "dbo"; })}) {
      std::vector<const TableEntry*> kept;
      for (const TableEntry* t : matches)
        if (pick(t)) kept.push_back(t);
      if (kept.size() == 1) return kept[0];
      if (!kept.empty()) matches = kept;
    }
    if (suggestion) *suggestion = matches[0]->name;  // ambiguous: name one with its schema
    return nullptr;
  }
  if (suggestion) {
    const std::string whole = AsciiLower(parts.size() >= 2 ? schema + "." + bare : bare);
    size_t best = std::string::npos;
    for (const auto& t : tables) {
      size_t d = std::min(EditDistance(whole, AsciiLower(t.name)), EditDistance(bare, AsciiLower(t.bareName)));
      if (d < best) {
        best = d;
        *suggestion = t.name;
      }
    }
    if (best == std::string::npos || best > std::max<size_t>(2, bare.size() / 3)) suggestion->clear();
  }
  return nullptr;
}

TableStream::TableStream(DatabaseReader& reader, const DatabaseCatalog& catalog, const ReadContext& read,
                         const TableEntry& table, bool advanced)
    : reader_(reader), read_(read), damage_(read.damage) {
  LoadedDetails loaded = LoadObjectDetails(catalog, table.name, "U ", {});
  details_ = std::move(loaded.details);
  columns_ = std::move(loaded.descriptors);
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].physicalColumnId != kNotStoredColumn && !columns_[i].name.empty()) stored_.push_back(i);
  read_.damage = &damage_;
  read_.objectId = details_.currentObject.id;
  // The page list the grid reads (it decodes the first grid page to choose
  // between the page chain and the allocation pages).
  RecordPaging paging(reader, catalog, details_, read_);
  paging.ShowTable(columns_, advanced, {});
  pages_ = paging.pageList();
  mode_ = DecodeMode{!read_.legacyCatalog && !details_.tableRowsetColumns.empty(), false};
  counts_.pages = static_cast<int64_t>(pages_.size());
  // What choosing the pages met is the table's damage too.
  counts_.reported = damage_.Counts();
}

bool TableStream::Allocated(PageId id) const {
  // PFS pages describe 8088 pages each (the first is page 1); one byte per
  // page after the page header and a 4-byte record header, bit 0x40 set
  // when the page is allocated.
  constexpr int32_t kPagesPerPfs = 8088;
  if (id.page < 0) return true;
  const int32_t pfs = id.page < kPagesPerPfs ? 1 : id.page / kPagesPerPfs * kPagesPerPfs;
  auto bytes = reader_.ReadRawPage(read_, PageId{id.fileId, pfs});
  if (!bytes || bytes->size() < 100 + kPagesPerPfs || (*bytes)[1] != 11) return true;  // no PFS page to ask
  return ((*bytes)[100 + static_cast<size_t>(id.page % kPagesPerPfs)] & 0x40) != 0;
}

void TableStream::Read(const PageSink& sink, unsigned threads) {
  Read([&](std::vector<TypedRow>& rows, std::string&) { return sink(rows); }, {}, threads);
}

namespace {

// The large values the rows of one page may gather when the page is read
// ahead of the sink. A page that needs more is read again when its turn
// comes, one row at a time, so that memory holds the pages read ahead
// (each within this) and one row of large values.
constexpr size_t kPageValueBudget = 1 << 20;

// What a read ahead reported, kept until the read is known to stand: a
// read that ran out of budget is done again, and must not count twice.
class HeldDamage : public DamageReporter {
 public:
  void Report(const DamageEvent& event) override { events_.push_back(event); }
  void ForwardTo(DamageReporter* target) {
    if (target != nullptr)
      for (const DamageEvent& e : events_) target->Report(e);
    events_.clear();
  }
  void Drop() { events_.clear(); }

 private:
  std::vector<DamageEvent> events_;
};

}  // namespace

void TableStream::Read(const PreparedSink& sink, const Prepare& prepare, unsigned threads) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = std::min<unsigned>(threads, static_cast<unsigned>(std::max<size_t>(pages_.size(), 1)));
  // The page compression layer reads the columns through the read context;
  // each decoder keeps its own copy for the corrections it makes between
  // pages. Large values are always read in full.
  const RowDecodeContext shared{columns_};
  ReadContext read = read_;
  read.columns = &shared;
  read.placeholders = false;

  const size_t window = 2 * static_cast<size_t>(threads) + 2;  // pages decoded ahead at most
  struct Slot {
    std::vector<TypedRow> rows;  // empty when prepared: the text stands for them
    std::string prepared;
    size_t rowCount = 0, deletedRows = 0;
    bool ready = false;
    bool unreadable = false;
    bool more = false;  // one row of a page read row by row; more of the page follows
    int64_t unreadableValues = 0;
  };
  std::vector<Slot> slots(window);
  // Page texts the sink is done with, handed back to the decoders so that
  // each page is formatted into room that is already there.
  std::vector<std::string> spare;
  std::mutex mutex;
  // `ready`: the slot the sink waits for was filled; `room`: the window
  // moved on, the sink is done with a row of a page read row by row, or the
  // read stops. Each side is woken only for what it waits for, so that a
  // page costs as few wake-ups as can be.
  std::condition_variable ready, room;
  size_t next = 0, consumed = 0;
  bool partOut = false;  // the sink holds a row of a page read row by row
  bool stop = false;
  const size_t n = pages_.size();

  auto countMissing = [&](Slot& slot) {
    for (const TypedRow& row : slot.rows)
      for (size_t k : stored_)
        if (row.cells[k].kind == CellKind::kMissing) ++slot.unreadableValues;
  };
  // Hands slot `index % window` over; false when the read stops.
  auto post = [&](size_t index, Slot&& slot) {
    std::unique_lock lock(mutex);
    if (stop) return false;
    if (slot.more) partOut = true;
    slots[index % window] = std::move(slot);
    const bool awaited = index == consumed;  // the sink waits for slot `consumed` only
    lock.unlock();
    if (awaited) ready.notify_one();
    return true;
  };
  // A page whose large values go past the budget: when every page before
  // it has been handed over, its rows are read one at a time with no budget
  // and handed over unprepared, each once the sink is done with the last.
  auto readRowByRow = [&](size_t index, const CDataPage& page, RowDecodeContext& context) {
    {
      std::unique_lock lock(mutex);
      room.wait(lock, [&] { return stop || consumed == index; });
      if (stop) return false;
    }
    const size_t records = PageRecordCount(page);
    for (size_t from = 0;;) {
      Slot part;
      from = DecodePageCellsFrom(page, context, reader_, read, mode_, part.rows, from, 1);
      countMissing(part);
      part.more = from < records && !read.StopRequested();
      part.ready = true;
      const bool more = part.more;
      if (!post(index, std::move(part))) return false;
      if (!more) return true;
      std::unique_lock lock(mutex);
      room.wait(lock, [&] { return stop || !partOut; });
      if (stop) return false;
    }
  };

  auto decoder = [&] {
    RowDecodeContext context{columns_};
    std::vector<TypedRow> reused;  // rows formatted here are decoded into the same room again
    HeldDamage held;
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return stop || next >= n || next < consumed + window; });
        if (stop || next >= n) return;
        index = next++;
      }
      Slot done;
      if (prepare) {
        std::lock_guard lock(mutex);
        if (!spare.empty()) {
          done.prepared = std::move(spare.back());
          spare.pop_back();
        }
      }
      auto page = LoadDataPage(reader_, read, pages_[index]);
      if (!page || page->header.pageType != kDataPage) {
        // Index and text pages may share a table's allocation pages; a page
        // of any other kind (a zeroed or overwritten page) is damage.
        // A page formatted but never given records (type 0 under its own
        // page id) holds nothing. Neither do the pages of the table's
        // extents that its free-space (PFS) page marks unallocated: they
        // hold whatever the disk held before. Any other page of another
        // kind (zeroed or overwritten) is damage.
        const int type = page ? page->header.pageType : -1;
        const bool empty = page && type == 0 && page->header.thisPage.page == pages_[index].page;
        done.unreadable = type != kIndexPage && type != kTextMixPage && type != kTextTreePage && !empty &&
                          Allocated(pages_[index]);
      } else {
        if (prepare) done.rows = std::move(reused);
        LargeValueBudget budget{kPageValueBudget};
        ReadContext ahead = read;
        ahead.largeValueBudget = &budget;
        ahead.damage = &held;
        DecodePageCells(*page, context, reader_, ahead, mode_, done.rows);
        if (budget.exceeded) {
          held.Drop();
          done.rows = {};  // incomplete, and may hold up to the budget
          if (done.prepared.capacity() > 0) {
            std::lock_guard lock(mutex);
            spare.push_back(std::move(done.prepared));
          }
          if (!readRowByRow(index, *page, context)) return;
          continue;
        }
        held.ForwardTo(read.damage);
        countMissing(done);
        if (prepare) {
          prepare(done.rows, done.prepared);
          done.rowCount = done.rows.size();
          for (const TypedRow& row : done.rows) done.deletedRows += row.deleted ? 1 : 0;
          reused = std::move(done.rows);
          done.rows.clear();
        }
      }
      done.ready = true;
      if (!post(index, std::move(done))) return;
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) workers.emplace_back(decoder);
  for (size_t i = 0; i < n;) {
    Slot slot;
    {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return slots[i % window].ready; });
      slot = std::move(slots[i % window]);
      slots[i % window] = Slot{};
      if (!slot.more) consumed = ++i;
      lock.unlock();
      if (!slot.more) room.notify_all();
    }
    if (slot.unreadable) ++counts_.unreadablePages;
    counts_.unreadableValues += slot.unreadableValues;
    if (prepare) {
      counts_.preparedRows += static_cast<int64_t>(slot.rowCount);
      counts_.preparedDeletedRows += static_cast<int64_t>(slot.deletedRows);
    }
    if (!slot.more) ++counts_.pagesDone;
    const bool go = !read.StopRequested() && sink(slot.rows, slot.prepared);
    if (slot.more) {
      slot.rows = {};  // the row goes before the next one is read
      {
        std::lock_guard lock(mutex);
        partOut = false;
      }
      room.notify_all();
    }
    if (!go) break;
    if (prepare && slot.prepared.capacity() > 0) {
      slot.prepared.clear();
      std::lock_guard lock(mutex);
      spare.push_back(std::move(slot.prepared));
    }
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  room.notify_all();
  for (auto& w : workers) w.join();
  counts_.reported = damage_.Counts();
}

}  // namespace pagewright

// Progress and status of the open sequence and the long reads, as data.
//
// The format layers say what they are doing with an event code and numbers;
// the shell turns each event into the text and progress the user sees.
#ifndef PAGEWRIGHT_STATE_READ_EVENTS_H_
#define PAGEWRIGHT_STATE_READ_EVENTS_H_

#include <cstdint>

namespace pagewright {

enum class ReadEventCode : uint8_t {
  kProgressRange,      // a: lower bound, b: upper bound
  kProgressPosition,   // a: position
  kCheckStarted,       // the corruption check of a file begins
  kCheckDone,          // a: ReadFileRole of the file checked
  kMappingStarted,
  kMappingDone,
  kSnapshotLoading,
  kSnapshotLoaded,
  kOpenFailed,         // a: OpenFailure
  kModulesRetrieving,  // module text is being read
  kModulesRetrieved,
};

// Which file an event is about.
enum class ReadFileRole : int64_t { kOld = 0, kNew = 1 };

enum class OpenFailure : int64_t {
  kCannotOpen,     // the old file cannot be opened
  kNotValid,       // the old file is no database file
  kNewCannotOpen,  // the new file cannot be opened
  kNewNotValid,    // the new file is no database file
};

struct ReadEvent {
  ReadEventCode code = ReadEventCode::kProgressPosition;
  int64_t a = 0;
  int64_t b = 0;
};

class ReadEventSink {
 public:
  virtual ~ReadEventSink() = default;
  virtual void OnReadEvent(const ReadEvent& event) = 0;
};

inline void Emit(ReadEventSink* sink, ReadEventCode code, int64_t a = 0, int64_t b = 0) {
  if (sink != nullptr) sink->OnReadEvent(ReadEvent{code, a, b});
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_READ_EVENTS_H_

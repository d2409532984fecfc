// Calls from a worker reach the screen on its own thread, in the order they
// were made: posted calls (grid rows, log lines) do not wait, calls that
// return a value do, and a posted call keeps its own copy of the arguments.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/marshalling_ui_port.h"
#include "support/recording_ui.h"

namespace pagewright {
namespace {

using testing::RecordingUi;

TEST(MarshallingUiPort, WorkerCallsRunOnTheScreenThreadInOrder) {
  RecordingUi ui;
  MarshallingUiPort port(ui);
  std::atomic<bool> finished{false};
  int rowsSeen = -1;
  std::thread worker([&] {
    port.ClearGrid();
    for (int i = 0; i < 50; ++i) {
      std::vector<std::string> cells = {std::to_string(i), "row " + std::to_string(i)};
      port.InsertGridRow(i, cells);
      cells.assign(2, "overwritten");  // the posted call has its own copy
    }
    rowsSeen = port.GridRowCount();  // waits: every earlier call has run
    port.SetPageLabel("Page1 - [50](1-50) Records");
    finished = true;
  });
  port.PumpUntil([&] { return finished.load(); });
  worker.join();
  port.Pump();

  EXPECT_EQ(rowsSeen, 50);
  EXPECT_EQ(ui.offThreadCalls, 0);
  ASSERT_EQ(ui.gridRows.size(), 50u);
  for (size_t i = 0; i < ui.gridRows.size(); ++i)
    EXPECT_EQ(ui.gridRows[i], (std::vector<std::string>{std::to_string(i), "row " + std::to_string(i)}));
  EXPECT_EQ(ui.pageLabel, "Page1 - [50](1-50) Records");
  EXPECT_EQ(ui.IndexOf("ClearGrid"), 0);
  EXPECT_EQ(ui.IndexOf("SetPageLabel Page1 - [50](1-50) Records"), static_cast<long>(ui.calls.size()) - 1);
}

// A worker held back by the bound on queued calls goes on as soon as the
// bound is lifted, without the screen thread pumping again.
TEST(MarshallingUiPort, LiftingTheQueueBoundFreesAWaitingWorker) {
  RecordingUi ui;
  MarshallingUiPort port(ui);
  port.LimitQueue(1);
  std::thread worker([&] {
    for (int i = 0; i < 10; ++i) port.InsertGridRow(i, {std::to_string(i)});
  });
  port.PumpUntil([&] { return ui.gridRows.size() >= 1; });
  port.LimitQueue(0);
  worker.join();  // hangs if the waiting worker never sees the bound lifted
  port.Pump();
  ASSERT_EQ(ui.gridRows.size(), 10u);
  EXPECT_EQ(ui.gridRows.back(), std::vector<std::string>{"9"});
}

TEST(MarshallingUiPort, CallsOnTheScreenThreadRunAtOnce) {
  RecordingUi ui;
  MarshallingUiPort port(ui);
  port.SetCaption("Creating Tree.........");
  EXPECT_EQ(ui.Of("SetCaption"), std::vector<std::string>{"Creating Tree........."});
  EXPECT_EQ(port.GridRowCount(), 0);
}

}  // namespace
}  // namespace pagewright

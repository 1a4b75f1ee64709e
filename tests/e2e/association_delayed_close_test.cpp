// The delayed close of finished connections: after the delay, on one thread,
// and never more handles held than its bound.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "print/delayed_close.h"

using namespace std::chrono_literals;

namespace {
bool IsOpen(int handle) { return fcntl(handle, F_GETFD) != -1; }

// A handle of its own to close: the reading end of a pipe.
int NewHandle() {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  close(ends[1]);
  return ends[0];
}
} // namespace

TEST(AssociationDelayedClose, ClosesAfterTheDelayAndTheOldestEarlyBeyondItsBound) {
  DelayedClose closer(300ms, 2);
  const int first = NewHandle(), second = NewHandle(), third = NewHandle();
  closer.Schedule(first, first);
  closer.Schedule(second, second);
  EXPECT_TRUE(IsOpen(first));
  closer.Schedule(third, third); // over the bound: the oldest goes now
  EXPECT_FALSE(IsOpen(first));
  EXPECT_TRUE(IsOpen(second));
  EXPECT_EQ(closer.Pending(), 2u);
  std::this_thread::sleep_for(600ms);
  EXPECT_FALSE(IsOpen(second));
  EXPECT_FALSE(IsOpen(third));
  EXPECT_EQ(closer.Pending(), 0u);
}

TEST(AssociationDelayedClose, FlushClosesWhatIsPendingAndLaterSchedulesAtOnce) {
  DelayedClose closer(60s);
  const int pending = NewHandle();
  closer.Schedule(pending, pending);
  closer.Schedule(-1, 99); // already closed by the association: only the log line
  closer.Flush();
  EXPECT_FALSE(IsOpen(pending));
  const int late = NewHandle();
  closer.Schedule(late, late);
  EXPECT_FALSE(IsOpen(late));
}

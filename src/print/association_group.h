#pragma once
// What the listener shares with the association workers it started: the
// delayed close of finished connections, and the connections still being
// served, so that a stopping server can end them and wait for their workers.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "print/delayed_close.h"

class AssociationGroup {
public:
  AssociationGroup() = default;
  ~AssociationGroup();
  AssociationGroup(const AssociationGroup&) = delete;
  AssociationGroup& operator=(const AssociationGroup&) = delete;

  // A worker starts serving handle; false while the group is stopping. token
  // is a duplicate of the handle (so that Stop never touches a number the
  // worker has closed and the system has given to another file), or -1 when no
  // handle was left for it: the connection is served all the same.
  bool Join(int handle, int& token);
  void Leave(int token);
  int Workers() const;

  // Shuts down every connection still served (their workers' reads fail and
  // they end), waits up to timeout for the workers, then closes the pending
  // delayed closes. True when every worker ended in time.
  bool Stop(std::chrono::milliseconds timeout);

  DelayedClose Closer;

private:
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  std::set<int> tokens_;
  bool stopping_ = false;
};

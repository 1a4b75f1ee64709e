#include "print/association_group.h"

#include <sys/socket.h>
#include <unistd.h>

AssociationGroup::~AssociationGroup() {
  for (int token : tokens_)
    close(token);
}

bool AssociationGroup::Join(int handle, int& token) {
  std::lock_guard lock(mutex_);
  token = -1;
  if (stopping_)
    return false;
  token = dup(handle);
  if (token >= 0)
    tokens_.insert(token);
  return true;
}

void AssociationGroup::Leave(int token) {
  if (token < 0)
    return;
  {
    std::lock_guard lock(mutex_);
    tokens_.erase(token);
    close(token);
  }
  ended_.notify_all();
}

int AssociationGroup::Workers() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(tokens_.size());
}

bool AssociationGroup::Stop(std::chrono::milliseconds timeout) {
  bool allEnded;
  {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    for (int token : tokens_)
      shutdown(token, SHUT_RDWR);
    allEnded = ended_.wait_for(lock, timeout, [this] { return tokens_.empty(); });
  }
  Closer.Flush();
  return allEnded;
}

#pragma once
// The association worker: carries one accepted connection from its
// A-ASSOCIATE-RQ to the closing of the connection.
#include <memory>
#include <string>

class AssociationGroup;

class ChildThread {
public:
  ChildThread(int socket, std::string peerAddress, std::shared_ptr<AssociationGroup> group);

  // Runs Execute on a thread of its own that destroys the worker when it
  // returns. False (logged, the connection closed) when no thread could be made.
  static bool Start(std::unique_ptr<ChildThread> child);

  // The run function: the association handler.
  void Execute();

  const int socket;              // the accepted connection, also the association's number in the log
  const std::string peerAddress; // dotted IPv4 address, empty for other families

private:
  std::shared_ptr<AssociationGroup> group_;
};

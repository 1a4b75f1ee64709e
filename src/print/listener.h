#pragma once
// The listening thread of the print server: accepts TCP connections on the
// configured port and starts one association worker (ChildThread) for each.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "net/socket.h"

class AssociationGroup;

// Association workers running, counted from their A-ASSOCIATE-RQ on; the
// listener stops accepting while more than kMaxActiveAssociations run.
extern std::atomic<int> ActiveAssociations;
inline constexpr int kMaxActiveAssociations = 20;
// Accepted connections whose A-ASSOCIATE-RQ has not been read yet, counted
// from accept; the listener holds back new connections while
// kMaxAwaitingRequests of them wait, so that silent peers cannot make threads
// without bound.
extern std::atomic<int> AwaitingRequests;
inline constexpr int kMaxAwaitingRequests = 20;

class ServerThread {
public:
  explicit ServerThread(std::string port);
  ~ServerThread(); // Stop()
  ServerThread(const ServerThread&) = delete;
  ServerThread& operator=(const ServerThread&) = delete;

  // Starts the thread; once.
  void Start();
  // Stops accepting, ends the associations still served (waiting a bounded
  // time for their workers) and closes the connections waiting for their
  // delayed close. Safe to call more than once.
  void Stop();

  const std::string port;

private:
  void Run();
  // Waits up to milliseconds; false when the thread is to stop.
  bool Pause(int milliseconds);
  void AcceptLoop(Socket& listening);
  // Waits while too many associations run or too many connections wait for
  // their request; false when the thread is to stop.
  bool HoldBack();

  std::shared_ptr<AssociationGroup> group_;
  int wakeHandle_ = -1; // eventfd: written by Stop
  std::thread thread_;
};

// The start-up step of the server: raises the open-file soft limit to the hard
// limit and starts the process's listening thread on port.
void StartListener(const std::string& port);
// Its stop function.
void StopListener();

// Sets the open-file soft limit to the hard limit; returns the limit now in force.
long RaiseOpenFileLimit();

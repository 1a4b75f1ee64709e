#pragma once
// A small association requestor on this system's own upper layer, for the
// tests and the benchmark: proposes chosen presentation contexts, sends C-ECHO
// requests, releases.
#include <string>
#include <utility>
#include <vector>

#include "net/pdu_service.h"

namespace testing_support {

struct ProposedContext {
  std::string abstractSyntax;
  std::vector<std::string> transferSyntaxes;
};

// Fills pdu.assocRQ with the AE titles and contexts (IDs 1, 3, 5, ...) and
// connects; true when the acceptor accepted a context this side can write on.
// pdu.assocAC holds the answer either way.
bool Associate(PDU_Service& pdu, int port, const std::vector<ProposedContext>& contexts,
               const std::string& calledAE = "CORVANEL");

// One C-ECHO request and its response; true for status 0.
bool Echo(PDU_Service& pdu, uint16_t messageID = 1);

} // namespace testing_support

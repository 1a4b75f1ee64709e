#pragma once
// The print queues the operator can choose from in the dialogs.
#include <string>
#include <vector>

// The names of the CUPS destinations (queues and instances "queue/instance"),
// in the order CUPS lists them; empty when the scheduler cannot be reached.
std::vector<std::string> ListPrinters();

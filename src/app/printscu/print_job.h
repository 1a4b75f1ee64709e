#pragma once
// One print job on its own association: film session, film boxes, one N-SET per
// image box, N-ACTION on each film box or on the film session, N-DELETE of the
// film session, release. Or, in echo mode, C-ECHO requests on one association.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scu_image.h"

struct JobSettings {
  std::string host = "127.0.0.1";
  std::string port;
  std::string callingAE = "PRINTSCU";
  std::string calledAE = "CORVANEL";
  unsigned timeoutSeconds = 30;
  // Film session (2000,xxxx); empty ones are not sent.
  std::string copies = "1";
  std::string priority;
  std::string medium = "PAPER";
  std::string destination;
  std::string label;
  // Film box (2010,xxxx).
  std::string displayFormat = "STANDARD\\1,1";
  std::string filmSize = "14INX17IN";
  std::string orientation = "PORTRAIT";
  std::string magnification;
  bool actionOnSession = false; // N-ACTION on the film session instead of each film box
  // The images in order; they fill the image boxes of as many film boxes as
  // they need. Empty: the pattern fills every image box of one film box.
  std::vector<ScuImage> images;
  ScuImage pattern;
  int echoes = 0; // >0: echo mode, this many C-ECHO requests
};

// Classes of a DIMSE status (PS3.7 C): success, warning, or failure.
enum class StatusClass { Success, Warning, Failure };
StatusClass ClassifyStatus(int status);
std::string StatusText(int status); // "0x0000" or "none"

// One request of a job as it went.
struct StepResult {
  std::string name; // "N-CREATE Basic Film Session", ...
  int status = -1;  // -1: no response
  double milliseconds = 0;
};

struct JobResult {
  bool ok = false;   // every step answered, none with a failure status
  std::string error; // why the job stopped early, when it did
  std::vector<StepResult> steps;
  double milliseconds = 0; // association to release
};

JobResult RunJob(const JobSettings &settings);

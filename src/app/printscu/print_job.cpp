#include "print_job.h"

#include <chrono>
#include <cstdio>

#include "dicom/dimse_command.h"
#include "net/pdu_service.h"
#include "net/print_scu.h"
#include "net/scu_operations.h"
#include "print/dataset_walk.h"

namespace {

constexpr const char *kVerification = "1.2.840.10008.1.1";
constexpr const char *kGreyMeta = "1.2.840.10008.5.1.1.9";
constexpr const char *kColourMeta = "1.2.840.10008.5.1.1.18";
constexpr const char *kFilmSession = "1.2.840.10008.5.1.1.1";
constexpr const char *kFilmBox = "1.2.840.10008.5.1.1.2";
constexpr const char *kGreyImageBox = "1.2.840.10008.5.1.1.4";
constexpr const char *kColourImageBox = "1.2.840.10008.5.1.1.4.1";

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void AddText(DcmObj &dataSet, uint16_t group, uint16_t element, const std::string &value) {
  if (!value.empty())
    dataSet.Add(new DcmTag(group, element, std::string_view(value)));
}

void BuildFilmBoxDataSet(const JobSettings &settings, const std::string &sessionUID,
                         DcmObj &dataSet) {
  AddText(dataSet, 0x2010, 0x0010, settings.displayFormat);
  AddText(dataSet, 0x2010, 0x0040, settings.orientation);
  AddText(dataSet, 0x2010, 0x0050, settings.filmSize);
  AddText(dataSet, 0x2010, 0x0060, settings.magnification);
  dataSet.Add(new DcmTag(0x2010, 0x0500, kUndefinedLength, nullptr, "SQ"));
  dataSet.Add(ItemTag(0xE000, kUndefinedLength));
  dataSet.Add(new DcmTag(0x0008, 0x1150, std::string_view(kFilmSession), "UI"));
  dataSet.Add(new DcmTag(0x0008, 0x1155, std::string_view(sessionUID), "UI"));
  dataSet.Add(ItemTag(0xE00D, 0));
  dataSet.Add(ItemTag(0xE0DD, 0));
}

// Every (0008,1155) below tag, whether its items stand in the list or are encoded.
void CollectReferencedUIDs(const DcmObj &dataSet, std::vector<std::string> &uids) {
  for (const auto &tag : dataSet.Tags) {
    if (tag->Is(0x0008, 0x1155)) {
      uids.push_back(tag->GetString());
    } else if (tag->HasData() && (tag->VR == "SQ" || tag->Is(0xFFFE, 0xE000))) {
      DcmObj nested;
      tag->GetObj(nested);
      CollectReferencedUIDs(nested, uids);
    }
  }
}

// The image box UIDs of the Referenced Image Box Sequence (2010,0510).
std::vector<std::string> ReferencedImageBoxes(const DcmObj &response) {
  std::vector<std::string> uids;
  for (int i = 0; i < response.Count(); ++i) {
    const DcmTag &tag = *response.GetTag(i);
    if (!tag.Is(0x2010, 0x0510))
      continue;
    if (OpensNesting(tag)) {
      const int last = ClosingPosition(response, i);
      for (int j = i + 1; j < last; ++j)
        if (response.GetTag(j)->Is(0x0008, 0x1155))
          uids.push_back(response.GetTag(j)->GetString());
    } else if (tag.HasData()) {
      DcmObj items;
      tag.GetObj(items);
      CollectReferencedUIDs(items, uids);
    }
    break;
  }
  return uids;
}

// Runs the requests of one association and keeps their results.
class Job {
public:
  explicit Job(JobResult &result) : result_(result) {}

  // False when the request got no valid answer or a failure status.
  bool Request(const std::string &name, uint16_t commandField, const std::string &classUID,
               const std::string &instanceUID, DcmObj *dataSet, NResponse &response) {
    const auto start = Clock::now();
    const bool answered = SendNRequest(*pdu_, commandField, nextMessageID_++, classUID, instanceUID,
                                       dataSet, response);
    result_.steps.push_back({name, answered ? response.Status : -1, MillisecondsSince(start)});
    if (!answered) {
      result_.error = name + ": no response";
      return false;
    }
    if (ClassifyStatus(response.Status) == StatusClass::Failure) {
      result_.error = name + ": status " + StatusText(response.Status);
      return false;
    }
    return true;
  }

  bool Echo() {
    const auto start = Clock::now();
    const int status = SendEcho(*pdu_, nextMessageID_++);
    result_.steps.push_back({"C-ECHO", status, MillisecondsSince(start)});
    if (status != 0)
      result_.error = "C-ECHO: " + (status < 0 ? std::string("no response") : StatusText(status));
    return status == 0;
  }

  void Fail(const std::string &error) { result_.error = error; }

  std::unique_ptr<PDU_Service> pdu_ = std::make_unique<PDU_Service>();

private:
  JobResult &result_;
  uint16_t nextMessageID_ = 1;
};

bool RunPrintRequests(const JobSettings &settings, Job &job) {
  const bool colour =
      settings.images.empty() ? settings.pattern.Colour() : settings.images.front().Colour();
  NResponse response;
  DcmObj session;
  AddText(session, 0x2000, 0x0010, settings.copies);
  AddText(session, 0x2000, 0x0020, settings.priority);
  AddText(session, 0x2000, 0x0030, settings.medium);
  AddText(session, 0x2000, 0x0040, settings.destination);
  AddText(session, 0x2000, 0x0050, settings.label);
  if (!job.Request("N-CREATE Basic Film Session", dimse::N_CREATE_RQ, kFilmSession, "", &session,
                   response))
    return false;
  const std::string sessionUID = response.InstanceUID;

  std::vector<std::string> filmBoxes;
  size_t nextImage = 0;
  do {
    DcmObj filmBox;
    BuildFilmBoxDataSet(settings, sessionUID, filmBox);
    if (!job.Request("N-CREATE Basic Film Box", dimse::N_CREATE_RQ, kFilmBox, "", &filmBox,
                     response))
      return false;
    filmBoxes.push_back(response.InstanceUID);
    const std::vector<std::string> imageBoxes = ReferencedImageBoxes(response.DataSet);
    if (imageBoxes.empty()) {
      job.Fail("N-CREATE Basic Film Box: no image boxes in the response");
      return false;
    }
    for (size_t i = 0; i < imageBoxes.size(); ++i) {
      const ScuImage *image = &settings.pattern;
      if (!settings.images.empty()) {
        if (nextImage == settings.images.size())
          break;
        image = &settings.images[nextImage++];
      }
      DcmObj imageBox;
      BuildImageBoxDataSet(*image, static_cast<uint16_t>(i + 1), imageBox);
      if (!job.Request(colour ? "N-SET Basic Color Image Box" : "N-SET Basic Grayscale Image Box",
                       dimse::N_SET_RQ, colour ? kColourImageBox : kGreyImageBox, imageBoxes[i],
                       &imageBox, response))
        return false;
    }
  } while (nextImage < settings.images.size());

  if (settings.actionOnSession) {
    if (!job.Request("N-ACTION Basic Film Session", dimse::N_ACTION_RQ, kFilmSession, sessionUID,
                     nullptr, response))
      return false;
  } else {
    for (const std::string &filmBox : filmBoxes)
      if (!job.Request("N-ACTION Basic Film Box", dimse::N_ACTION_RQ, kFilmBox, filmBox, nullptr,
                       response))
        return false;
  }
  return job.Request("N-DELETE Basic Film Session", dimse::N_DELETE_RQ, kFilmSession, sessionUID,
                     nullptr, response);
}

} // namespace

StatusClass ClassifyStatus(int status) {
  if (status == 0)
    return StatusClass::Success;
  // PS3.7 C.4 and H.4: 0001, 0107, 0116 and Bxxx are warnings.
  if (status == 0x0001 || status == 0x0107 || status == 0x0116 || (status & 0xF000) == 0xB000)
    return StatusClass::Warning;
  return StatusClass::Failure;
}

std::string StatusText(int status) {
  if (status < 0)
    return "none";
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", status);
  return text;
}

JobResult RunJob(const JobSettings &settings) {
  JobResult result;
  Job job(result);
  const bool colour =
      settings.images.empty() ? settings.pattern.Colour() : settings.images.front().Colour();
  const std::string abstractSyntax = settings.echoes > 0 ? kVerification
                                     : colour            ? kColourMeta
                                                         : kGreyMeta;
  const auto start = Clock::now();
  if (!OpenAssociation(*job.pdu_, settings.callingAE, settings.calledAE, settings.host,
                       settings.port, abstractSyntax, "", "", settings.timeoutSeconds)) {
    result.error = "association to " + settings.host + ":" + settings.port + " (" +
                   settings.calledAE + ") not accepted";
    result.milliseconds = MillisecondsSince(start);
    return result;
  }
  bool ok = true;
  if (settings.echoes > 0) {
    for (int i = 0; i < settings.echoes && ok; ++i)
      ok = job.Echo();
  } else {
    ok = RunPrintRequests(settings, job);
  }
  job.pdu_->Release();
  result.milliseconds = MillisecondsSince(start);
  result.ok = ok;
  return result;
}

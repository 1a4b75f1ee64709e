// A PACS that answers the C-STORE with a status other than 0, built on the
// toolkit's own provider side. It shares this process's presentation context
// counter, so message IDs are checked against storescp instead.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "archive/send_to_pacs.h"
#include "dicom/dcm_obj.h"
#include "dicom/log_capture.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"
#include "net/socket.h"
#include "pacs_test_support.h"

using namespace testing_support;

namespace {

// Serves associations one after the other until destroyed: accepts every
// proposed context with its first transfer syntax and answers each C-STORE
// with the given status.
class StatusSCP {
public:
  explicit StatusSCP(uint16_t status) : status_(status), port_(FreePort()) {
    EXPECT_TRUE(listener_.Listen(std::to_string(port_)));
    thread_ = std::thread([this] { Serve(); });
  }
  ~StatusSCP() {
    stop_ = true;
    Socket wake; // unblocks Accept
    wake.Connect("127.0.0.1", std::to_string(port_));
    thread_.join();
  }
  int port() const { return port_; }
  std::atomic<int> stores{0};

private:
  void Serve() {
    while (listener_.Accept() && !stop_) {
      PDU_Service pdu;
      pdu.Link.dsocket.Attach(listener_.TakeConnected());
      pdu.Link.dsocket.SetTimeout(10);
      if (!pdu.ReadAssociateRQ())
        continue;
      AAssociateAC &ac = pdu.assocAC;
      ac.CalledApTitle = pdu.assocRQ.CalledApTitle;
      ac.CallingApTitle = pdu.assocRQ.CallingApTitle;
      ac.UserInfo.SetMaximumLength(16384);
      ac.UserInfo.SetImplementationClass("1.2.3.4");
      for (const auto &proposed : pdu.assocRQ.PresContexts) {
        auto accept = std::make_unique<PresentationContextAccept>();
        accept->PresentationContextID = proposed->PresentationContextID;
        accept->Result = 0;
        accept->SetAbstractSyntax(proposed->AbsSyntax.Text);
        accept->SetTransferSyntax(proposed->TrnSyntaxes.front()->Text);
        pdu.AcceptedPresContexts.push_back(accept.get());
        ac.AddPresentationContextAccept(std::move(accept));
      }
      ac.Write(pdu.Link);
      DcmObj command, dataSet;
      if (pdu.Read(command) && CStore::ReadRQ(&pdu, command, &dataSet)) {
        ++stores;
        CStore::WriteRSP(pdu, &command, status_);
      }
      DcmObj release;
      pdu.Read(release); // answers the A-RELEASE-RQ
    }
  }

  uint16_t status_;
  int port_;
  Socket listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Status 0 is the control that shows this SCP works; the warning 0xB000
// (coercion of data elements) must count as a failed send.
TEST(SendToPACSStatus, OnlyStatusZeroCountsAsSent) {
  TempDir films;
  const std::string path = WriteFilmJpeg(films.folder() + "film.jpg", 24, 24, true);
  for (uint16_t status : {0x0000, 0xB000}) {
    SCOPED_TRACE(status);
    StatusSCP pacs(status);
    UsePacs(pacs.port());
    LogCapture log;
    const bool sent = status == 0;
    EXPECT_EQ(SendToPACS(path, "WARD3", "14INX17IN", 1), sent);
    EXPECT_EQ(SendToPACS(path, "WARD3", "14INX17IN", 0), sent);
    EXPECT_EQ(pacs.stores, 2);
    for (const char *format : {"JPEG", "PDF"}) {
      const std::string line =
          sent ? "INFO, SendToPACS, sent " + std::string(format) + " to STORESCP succesfully, 2.25."
               : "ERROR, SendToPACS, sending " + std::string(format) + " to STORESCP, 2.25.";
      EXPECT_TRUE(log.Contains(line)) << line;
    }
    EXPECT_EQ(log.Contains("ERROR, CStore::ReadRSP, status == 45056"), !sent);
  }
}

} // namespace

// Hostile input against a live corvanel-server: malformed PDUs of every type,
// lengths 0, 1 and huge, over-long UIDs, deep nesting, pixel data that does
// not match its description, display formats, labels and AE titles meant to
// break out of their fields, print requests out of order, and peers that stall.
// Each case ends with its log line and a status or an A-ABORT; after each the
// server still answers C-ECHO and has written nothing outside its folders; at
// the end its memory is back near where it started.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "print_support.h"
#include "process_status.h"
#include "raw_peer.h"

using namespace raw_peer;
using namespace testing_support;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Marks every value meant to become part of a path.
const std::string kMarker = "XHOSTILEX";
const std::string kUID65 = "1." + std::string(63, '9');

struct Case {
  const char* name;
  std::string logLine;  // a line the server logs for this case
  std::string expected; // Outcome::Text() of the last step
  std::function<Outcome(Peer&)> run;
};

ByteString Upper(std::initializer_list<uint8_t> bytes) { return ByteString(bytes); }

Outcome SendRaw(Peer& peer, const ByteString& bytes) {
  peer.Send(bytes);
  return peer.Receive();
}

// An association request whose first presentation context has this abstract
// syntax and this transfer syntax.
ByteString RQWithContext(const std::string& abstractSyntax, const std::string& transferSyntax) {
  UpperLayer context;
  context.u8(1).u8(0).u8(0).u8(0);
  context.u8(0x30).u8(0).u16(static_cast<uint16_t>(abstractSyntax.size())).text(abstractSyntax);
  context.u8(0x40).u8(0).u16(static_cast<uint16_t>(transferSyntax.size())).text(transferSyntax);
  UpperLayer body;
  body.u16(1).u16(0).text("PDF             HOSTILE         ").raw(ByteString(32, 0));
  body.u8(0x10).u8(0).u16(21).text("1.2.840.10008.3.1.1.1");
  body.u8(0x20).u8(0).u16(static_cast<uint16_t>(context.bytes.size())).raw(context.bytes);
  body.u8(0x50).u8(0).u16(8).u8(0x51).u8(0).u16(4).u32(16384);
  return UpperLayer().u8(1).u8(0).u32(static_cast<uint32_t>(body.bytes.size())).raw(body.bytes).bytes;
}

ByteString PDataWithPDV(uint32_t pduLength, uint32_t itemLength) {
  return UpperLayer().u8(4).u8(0).u32(pduLength).u32(itemLength).u8(3).u8(3).u32(0).bytes;
}

// depth sequences nested in one another, of undefined or defined length.
ByteString Nested(int depth, bool undefinedLength) {
  const uint16_t group = 0x0040, element = 0xA730; // Content Sequence
  Elements e;
  if (undefinedLength) {
    for (int i = 0; i < depth; ++i)
      e.header(group, element, 0xFFFFFFFF).header(0xFFFE, 0xE000, 0xFFFFFFFF);
    e.value(0x0010, 0x0010, "DEEP");
    for (int i = 0; i < depth; ++i)
      e.header(0xFFFE, 0xE00D, 0).header(0xFFFE, 0xE0DD, 0);
    return e.bytes;
  }
  ByteString inner = Elements().value(0x0010, 0x0010, "DEEP").bytes;
  for (int i = 0; i < depth; ++i) {
    Elements item;
    item.header(0xFFFE, 0xE000, static_cast<uint32_t>(inner.size())).raw(inner);
    inner = Elements()
                .header(group, element, static_cast<uint32_t>(item.bytes.size()))
                .raw(item.bytes)
                .bytes;
  }
  return inner;
}

ByteString Ramp(size_t n) {
  ByteString bytes(n);
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

Outcome Store(Peer& peer, const ByteString& dataSet) {
  CommandSet store;
  store.field = 0x0001;
  store.affectedClass = kCTStorageUID;
  store.affectedInstance = "1.2.3.4.5";
  return peer.Request(store, dataSet, Peer::kStoreContext);
}

Outcome CreateSessionWithUID(Peer& peer, const std::string& uid) {
  CommandSet create;
  create.field = 0x0140;
  create.affectedClass = kFilmSessionUID;
  create.affectedInstance = uid;
  return peer.Request(create, Elements().value(0x2000, 0x0010, "1").bytes);
}

Outcome CreateFilmBoxWith(Peer& peer, const ByteString& attributes) {
  CommandSet create;
  create.field = 0x0140;
  create.affectedClass = kFilmBoxUID;
  return peer.Request(create, attributes);
}

// A session on the PDF rule with one 1x1 film box; its image box UID.
std::string OneImageBox(Peer& peer, const ByteString& sessionAttributes = {},
                        const std::string& format = "STANDARD\\1,1") {
  if (!peer.Associate("PDF"))
    return {};
  const std::string session = peer.CreateSession(sessionAttributes);
  const std::vector<std::string> boxes = peer.CreateFilmBox(session, format);
  return boxes.size() == 1 ? boxes[0] : "";
}

// N-SET of the one image box, then N-ACTION of the session.
Outcome SetAndPrint(Peer& peer, const ByteString& image, const ByteString& sessionAttributes = {},
                    const std::string& format = "STANDARD\\1,1") {
  const std::string box = OneImageBox(peer, sessionAttributes, format);
  if (box.empty())
    return {"no image box"};
  const Outcome set = peer.SetImageBox(box, image);
  if (set.kind != "status" || set.status != 0)
    return set;
  return peer.PrintSession(peer.Session());
}

std::vector<Case> Cases() {
  const ByteString echoRQ = AssociateRQ("PDF", "HOSTILE", {kVerificationUID});
  std::vector<Case> cases = {
      // Negotiation.
      {"A-ASSOCIATE-RQ length 0", "ERROR, A-ASSOCIATE PDU Length=0 out of bounds", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({1, 0, 0, 0, 0, 0})); }},
      {"A-ASSOCIATE-RQ length 1", "ERROR, A-ASSOCIATE PDU Length=1 out of bounds", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({1, 0, 0, 0, 0, 1, 0})); }},
      {"A-ASSOCIATE-RQ huge length", "ERROR, A-ASSOCIATE PDU Length=4294967280 out of bounds",
       "A-ABORT", [](Peer& p) { return SendRaw(p, Upper({1, 0, 0xFF, 0xFF, 0xFF, 0xF0})); }},
      {"unknown PDU type first", "PDU type 9", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({9, 0, 0, 0, 0, 4, 0, 0, 0, 0})); }},
      {"A-ASSOCIATE-AC first", "PDU type 2", "A-ABORT",
       [](Peer& p) { return SendRaw(p, UpperLayer().u8(2).u8(0).u32(68).raw(ByteString(68, 0)).bytes); }},
      {"A-ASSOCIATE-RJ first", "PDU type 3", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({3, 0, 0, 0, 0, 4, 0, 1, 1, 1})); }},
      {"P-DATA-TF first", "PDU type 4", "A-ABORT",
       [](Peer& p) { return SendRaw(p, PDataWithPDV(10, 6)); }},
      {"A-RELEASE-RQ first", "PDU type 5", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({5, 0, 0, 0, 0, 4, 0, 0, 0, 0})); }},
      {"A-RELEASE-RP first", "PDU type 6", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({6, 0, 0, 0, 0, 4, 0, 0, 0, 0})); }},
      {"A-ABORT first", "PDU type 7", "A-ABORT",
       [](Peer& p) { return SendRaw(p, Upper({7, 0, 0, 0, 0, 4, 0, 0, 2, 0})); }},
      {"truncated PDU header", "ERROR, Buffer::Read, failed ReadBlock", "closed",
       [](Peer& p) {
         p.Send(Upper({1, 0, 0}));
         p.Close();
         return Outcome{"closed"};
       }},
      {"65-character abstract syntax", "Length=65 is longer than 64", "A-ABORT",
       [](Peer& p) { return SendRaw(p, RQWithContext(kUID65, "1.2.840.10008.1.2")); }},
      {"65-character transfer syntax", "Length=65 is longer than 64", "A-ABORT",
       [](Peer& p) { return SendRaw(p, RQWithContext(kVerificationUID, kUID65)); }},
      {"presentation context past the PDU", "runs past its item", "A-ABORT",
       [](Peer& p) {
         ByteString rq = RQWithContext(kVerificationUID, "1.2.840.10008.1.2");
         rq[6 + 68 + 25 + 3] += 40; // the context item's length
         return SendRaw(p, rq);
       }},
      {"no presentation context", "ERROR: Association Failed! ", "A-ASSOCIATE-AC",
       [](Peer& p) { return SendRaw(p, AssociateRQ("PDF", "HOSTILE", {})); }},
      {"called AE title with control characters", "INFO, Associated with HOSTILE",
       "A-ASSOCIATE-AC",
       [](Peer& p) {
         return SendRaw(p, AssociateRQ("\x1b[2J\r\n\x07\x01", "HOSTILE", {kVerificationUID}));
       }},
      {"calling AE title that forges a log line", "INFO, Associated with ", "A-ASSOCIATE-AC",
       [](Peer& p) {
         return SendRaw(p, AssociateRQ("PDF", "A\nERROR, forged", {kVerificationUID}));
       }},

      // Inside an association: P-DATA framing.
      {"P-DATA length 0", "ERROR, PDataTF::ReadDynamic, PDU Length=0 out of bounds", "A-ABORT",
       [](Peer& p) { return p.Associate() ? SendRaw(p, Upper({4, 0, 0, 0, 0, 0})) : Outcome{}; }},
      {"P-DATA length 1", "ERROR, PDataTF::ReadDynamic, PDU Length=1 out of bounds", "A-ABORT",
       [](Peer& p) { return p.Associate() ? SendRaw(p, Upper({4, 0, 0, 0, 0, 1, 0})) : Outcome{}; }},
      {"P-DATA huge length", "PDU Length=4294967295 out of bounds", "A-ABORT",
       [](Peer& p) {
         return p.Associate() ? SendRaw(p, Upper({4, 0, 0xFF, 0xFF, 0xFF, 0xFF})) : Outcome{};
       }},
      {"PDV length 0", "ERROR, PDataTF::ReadDynamic, PDV item length=0", "A-ABORT",
       [](Peer& p) { return p.Associate() ? SendRaw(p, PDataWithPDV(10, 0)) : Outcome{}; }},
      {"PDV length 1", "ERROR, PDataTF::ReadDynamic, PDV item length=1", "A-ABORT",
       [](Peer& p) { return p.Associate() ? SendRaw(p, PDataWithPDV(10, 1)) : Outcome{}; }},
      {"PDV huge length", "ERROR, PDataTF::ReadDynamic, PDV item length=4294967295", "A-ABORT",
       [](Peer& p) { return p.Associate() ? SendRaw(p, PDataWithPDV(10, 0xFFFFFFFF)) : Outcome{}; }},
      {"PDV on a context never proposed", "ParseRawVRIntoDCM GetTransferSyntaxUID()", "A-ABORT",
       [](Peer& p) {
         CommandSet echo;
         echo.field = 0x0030;
         echo.affectedClass = kVerificationUID;
         return p.Associate() ? SendRaw(p, PData(99, true, echo.Encode())) : Outcome{};
       }},
      {"unknown PDU type inside", "ERROR, PDU_Service::Read Protocol Error", "A-ABORT",
       [](Peer& p) {
         return p.Associate() ? SendRaw(p, Upper({0x55, 0, 0, 0, 0, 0})) : Outcome{};
       }},
      {"A-ASSOCIATE-RQ inside", "ERROR, PDU_Service::Read Associate-RQ", "A-ABORT",
       [echoRQ](Peer& p) { return p.Associate() ? SendRaw(p, echoRQ) : Outcome{}; }},

      // Command sets and data sets.
      {"command set with an element past its end", "read bytes!=tag->length (0000,0100)", "closed",
       [](Peer& p) {
         ByteString command = Elements().header(0x0000, 0x0100, 0x7FFFFFF0).us(0, 0, 1).bytes;
         return p.Associate() ? SendRaw(p, PData(1, true, command)) : Outcome{};
       }},
      {"command set without a command field", "WARNING, Service Not Implemented", "closed",
       [](Peer& p) {
         ByteString command = Elements().us(0x0000, 0x0110, 1).bytes;
         return p.Associate() ? SendRaw(p, PData(1, true, command)) : Outcome{};
       }},
      {"C-STORE without a data set", "C-Store Request without data section", "0xC000",
       [](Peer& p) {
         CommandSet store;
         store.field = 0x0001;
         store.affectedClass = kCTStorageUID;
         store.affectedInstance = "1.2.3.4.5";
         return p.Associate() ? p.Request(store, {}, Peer::kStoreContext) : Outcome{};
       }},
      {"C-STORE of 10 000 nested sequences of undefined length", "C-STORE", "0x0000",
       [](Peer& p) { return p.Associate() ? Store(p, Nested(10000, true)) : Outcome{}; }},
      {"C-STORE of 10 000 nested sequences of defined length", "C-STORE", "0x0000",
       [](Peer& p) { return p.Associate() ? Store(p, Nested(10000, false)) : Outcome{}; }},
      {"C-STORE with an element longer than the data set", "read bytes!=tag->length (0010,0010)", "0x0000",
       [](Peer& p) {
         return p.Associate() ? Store(p, Elements().header(0x0010, 0x0010, 0x40000000).bytes)
                              : Outcome{};
       }},

      // Print requests out of order.
      {"N-SET before any N-CREATE", "ERROR: Set Image Box: 274", "0x0112",
       [](Peer& p) { return p.Associate() ? p.SetImageBox("1.2.3.4", GreyImage(2, 2, 8, Ramp(4))) : Outcome{}; }},
      {"N-ACTION before any N-CREATE", "ERROR, There are no printers defined!", "0x0112",
       [](Peer& p) { return p.Associate() ? p.PrintSession("1.2.3") : Outcome{}; }},
      {"N-DELETE of an unknown film box", "ERROR, Delete Film Box: 274", "0x0112",
       [](Peer& p) { return p.Associate() ? p.Delete(kFilmBoxUID, "1.2.3.4.5.6") : Outcome{}; }},
      {"N-DELETE of an unknown film session", "ERROR, Delete Film Session: 274", "0x0112",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return p.Delete(kFilmSessionUID, "1.2.3.4.5.6");
       }},
      {"N-SET of a 65-character image box UID", "ERROR: Set Image Box: 274", "0x0112",
       [](Peer& p) {
         if (OneImageBox(p).empty())
           return Outcome{};
         return p.SetImageBox(kUID65, GreyImage(2, 2, 8, Ramp(4)));
       }},
      {"N-CREATE of a film session with a 65-character UID", "invalid SOP Instance UID",
       "0x0106",
       [](Peer& p) { return p.Associate() ? CreateSessionWithUID(p, kUID65) : Outcome{}; }},
      {"N-CREATE of a film session with a UID that climbs folders", "invalid SOP Instance UID",
       "0x0106",
       [](Peer& p) {
         return p.Associate("STORE") ? CreateSessionWithUID(p, "../../" + kMarker) : Outcome{};
       }},

      // Display formats.
      {"display format STANDARD\\999999999,1", "ERROR, FilmBox::Register, rows*cols=999999999",
       "0x0106",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return CreateFilmBoxWith(p, FilmBoxAttributes("STANDARD\\999999999,1"));
       }},
      {"display format \\,,", "INFO, Successful Create Film Box", "0x0000",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return CreateFilmBoxWith(p, FilmBoxAttributes("\\,,"));
       }},
      {"display format STANDARD\\-2,-3", "ERROR, FilmBox::Register, rows*cols=", "0x0106",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return CreateFilmBoxWith(p, FilmBoxAttributes("STANDARD\\-2,-3"));
       }},
      {"display format STANDARD\\0,7", "ERROR, FilmBox::Register, rows*cols=0", "0x0106",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return CreateFilmBoxWith(p, FilmBoxAttributes("STANDARD\\0,7"));
       }},
      // A number out of range reads as 1, as an empty one does.
      {"display format of 10 000 characters", "INFO, Successful Create Film Box", "0x0000",
       [](Peer& p) {
         if (!p.Associate() || p.CreateSession().empty())
           return Outcome{};
         return CreateFilmBoxWith(p, FilmBoxAttributes("STANDARD\\" + std::string(10000, '9') + ",9"));
       }},

      // Labels, film size IDs and pixel data, printed.
      {"film size ID and label that climb folders", "Print Job FileName: ", "0x0000",
       [](Peer& p) {
         const ByteString label =
             Elements().value(0x2000, 0x0050, "../../" + kMarker + "\x07\r\n").bytes;
         if (!p.Associate())
           return Outcome{};
         const std::string session = p.CreateSession(label);
         const std::vector<std::string> boxes =
             p.CreateFilmBox(session, "STANDARD\\1,1", "../../../" + kMarker + "\x01\x1b");
         if (boxes.size() != 1)
           return Outcome{"no image box"};
         p.SetImageBox(boxes[0], GreyImage(4, 4, 8, Ramp(16)));
         return p.PrintSession(p.Session());
       }},
      {"label of 1000 characters", "INFO, Successful Print Film Session", "0x0000",
       [](Peer& p) {
         return SetAndPrint(p, GreyImage(4, 4, 8, Ramp(16)),
                            Elements().value(0x2000, 0x0050, std::string(1000, 'L')).bytes);
       }},
      {"pixel data shorter than described", "INFO, Successful Print Film Session", "0x0000",
       [](Peer& p) { return SetAndPrint(p, GreyImage(64, 64, 8, Ramp(100))); }},
      {"pixel data longer than described", "INFO, Successful Print Film Session", "0x0000",
       [](Peer& p) { return SetAndPrint(p, GreyImage(8, 8, 8, Ramp(1 << 20))); }},
      {"huge Rows x Columns", "ERROR: Set Image Box: 531", "0x0213",
       [](Peer& p) {
         const std::string box = OneImageBox(p);
         return box.empty() ? Outcome{} : p.SetImageBox(box, GreyImage(65535, 65535, 16, Ramp(64)));
       }},
      {"16-bit pixels of 12 bits stored", "INFO, Successful Print Film Session", "0x0000",
       [](Peer& p) {
         ByteString image = GreyImage(4, 4, 16, Ramp(32));
         return SetAndPrint(p, image);
       }},
      {"N-SET of 10 000 nested sequences of undefined length", "INFO, Successful Set Image Box", "0x0000",
       [](Peer& p) {
         const std::string box = OneImageBox(p);
         return box.empty() ? Outcome{} : p.SetImageBox(box, Nested(10000, true));
       }},
      {"N-SET of 10 000 nested sequences of defined length", "nested deeper than 64 levels", "0x0000",
       [](Peer& p) {
         const std::string box = OneImageBox(p);
         return box.empty() ? Outcome{} : p.SetImageBox(box, Nested(10000, false));
       }},
      {"encapsulated pixel data", "encapsulated (compressed) Pixel Data is not supported",
       "0x0000",
       [](Peer& p) {
         const std::string box = OneImageBox(p);
         Elements item;
         item.us(0x0028, 0x0002, 1).us(0x0028, 0x0010, 2).us(0x0028, 0x0011, 2);
         item.header(0x7FE0, 0x0010, 0xFFFFFFFF).header(0xFFFE, 0xE000, 0);
         item.header(0xFFFE, 0xE000, 4).raw({1, 2, 3, 4}).header(0xFFFE, 0xE0DD, 0);
         return box.empty() ? Outcome{}
                            : p.SetImageBox(box, Elements().sequence(0x2020, 0x0110, {item.bytes}).bytes);
       }},
      {"N-ACTION twice", "INFO, Successful Print Film Session", "0x0000",
       [](Peer& p) {
         const Outcome first = SetAndPrint(p, GreyImage(4, 4, 8, Ramp(16)));
         return first.status == 0 ? p.PrintSession(p.Session()) : first;
       }},
      {"A-ABORT in the middle of an N-SET", "WARNING, PDU_Service::Read Abort-RQ", "closed",
       [](Peer& p) {
         const std::string box = OneImageBox(p);
         if (box.empty())
           return Outcome{};
         CommandSet set;
         set.field = 0x0120;
         set.requestedClass = kGrayscaleImageBoxUID;
         set.requestedInstance = box;
         set.dataSet = true;
         ByteString bytes = PData(Peer::kPrintContext, true, set.Encode());
         const ByteString data = PData(Peer::kPrintContext, false, GreyImage(64, 64, 8, Ramp(4096)), 1000);
         bytes.insert(bytes.end(), data.begin(), data.begin() + 2 * 1012); // two whole PDUs
         const ByteString abort = Upper({7, 0, 0, 0, 0, 4, 0, 0, 0, 0});
         bytes.insert(bytes.end(), abort.begin(), abort.end());
         p.Send(bytes);
         return p.Receive(8000);
       }},
      {"peer that vanishes in the middle of a PDU", "ERROR, PDU_Service::Read, pdata.ReadDynamic",
       "closed",
       [](Peer& p) {
         if (!p.Associate())
           return Outcome{};
         p.Send(Upper({4, 0, 0, 0, 0x10, 0, 0, 0, 0x0F, 0xFA, 3, 0}));
         p.Close();
         return Outcome{"closed"};
       }},
  };
  return cases;
}

// Waits until the server's log holds line after offset.
bool LoggedAfter(const PrintServer& server, size_t offset, const std::string& line,
                 std::chrono::milliseconds timeout = 10s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::string log = server.Log();
    if (log.size() > offset && log.find(line, offset) != std::string::npos)
      return true;
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(20ms);
  }
}

// Paths that hold the marker anywhere but in the film folders.
std::vector<fs::path> MarkedFilesOutsideFilmFolders(const fs::path& home) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const fs::path& folder : {home.parent_path(), home.parent_path().parent_path()})
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
      if (it->path().filename().string().find(kMarker) != std::string::npos)
        found.push_back(it->path());
  for (auto it = fs::recursive_directory_iterator(home, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path parent = it->path().parent_path();
    const bool filmFolder = parent.parent_path() == home / "filmbox";
    if (it->path().filename().string().find(kMarker) != std::string::npos && !filmFolder)
      found.push_back(it->path());
  }
  return found;
}

} // namespace

TEST(HostileInput, EachCaseIsAnsweredAndTheServerServesOn) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();

  // A job to warm up, then the baseline.
  {
    Peer warm(server.port);
    ASSERT_EQ(SetAndPrint(warm, GreyImage(64, 64, 8, Ramp(4096))).Text(), "0x0000") << server.Log();
    warm.Release();
  }
  std::this_thread::sleep_for(500ms);
  const ProcessStatus baseline = StatusOf(server.Pid());

  // Stalling peers stay connected through the whole table: one that sends
  // nothing, one that sends an association request a byte a second.
  Peer silent(server.port);
  std::atomic<bool> tableDone{false};
  std::thread slow([&] {
    Peer trickle(server.port);
    const ByteString rq = AssociateRQ("PDF", "TRICKLE", {kVerificationUID});
    for (size_t i = 0; i < rq.size() && !tableDone; ++i) {
      trickle.Send({rq[i]});
      for (int tick = 0; tick < 10 && !tableDone; ++tick)
        std::this_thread::sleep_for(100ms);
    }
  });

  const std::vector<Case> cases = Cases();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t offset = server.Log().size();
    const auto start = std::chrono::steady_clock::now();
    Outcome outcome;
    {
      Peer peer(server.port);
      ASSERT_TRUE(peer.Connected());
      outcome = c.run(peer);
    }
    std::printf("%-60s %-16s %5lld ms\n", c.name, outcome.Text().c_str(),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    EXPECT_EQ(outcome.Text(), c.expected);
    EXPECT_TRUE(LoggedAfter(server, offset, c.logLine)) << c.logLine << "\n"
                                                        << server.Log().substr(offset);
    Peer check(server.port);
    ASSERT_TRUE(check.Associate("PDF")) << server.Log().substr(offset);
    EXPECT_EQ(check.Echo().Text(), "0x0000");
    check.Release();
    const std::vector<fs::path> outside = MarkedFilesOutsideFilmFolders(server.Home());
    EXPECT_TRUE(outside.empty()) << outside.front();
  }
  tableDone = true;
  slow.join();
  silent.Close();

  // No raw control character of a peer reached the log.
  const std::string log = server.Log();
  EXPECT_EQ(log.find('\x1b'), std::string::npos);
  EXPECT_EQ(log.find("\nERROR, forged"), std::string::npos);

  // Once the delayed closes have run, memory, threads and handles are back.
  std::this_thread::sleep_for(6500ms);
  const ProcessStatus after = StatusOf(server.Pid());
  std::printf("hostile cases: %zu; resident %ld -> %ld KB, threads %d -> %d, handles %d -> %d\n",
              cases.size(), baseline.residentKB, after.residentKB, baseline.threads, after.threads,
              baseline.handles, after.handles);
  if (kResidentMemoryTells) {
    EXPECT_LE(after.residentKB, baseline.residentKB * 11 / 10 + 16 * 1024);
  }
  EXPECT_LE(after.threads, baseline.threads);
  EXPECT_LE(after.handles, baseline.handles);
}

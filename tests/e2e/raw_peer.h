#pragma once
// A print SCU that writes its PDUs, command sets and data sets byte by byte, so
// that the hostile-input and fault tests can send what no well-behaved toolkit
// would: wrong lengths, broken items, data sets that do not match their
// description. It encodes with code of its own, not with the server's codec.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace raw_peer {

using ByteString = std::vector<uint8_t>;

// Big-endian fields of the upper layer.
struct UpperLayer {
  ByteString bytes;
  UpperLayer& u8(uint8_t v);
  UpperLayer& u16(uint16_t v);
  UpperLayer& u32(uint32_t v);
  UpperLayer& text(const std::string& s);
  UpperLayer& raw(const ByteString& more);
};

// Little-endian data elements in implicit VR.
struct Elements {
  ByteString bytes;
  // A value of any length; padded to even length with pad unless pad is 0.
  Elements& value(uint16_t group, uint16_t element, const std::string& value, char pad = ' ');
  Elements& uid(uint16_t group, uint16_t element, const std::string& uid);
  Elements& us(uint16_t group, uint16_t element, uint16_t v);
  // An element header with a length that need not match what follows.
  Elements& header(uint16_t group, uint16_t element, uint32_t length);
  Elements& raw(const ByteString& more);
  // A sequence of undefined length with undefined-length items.
  Elements& sequence(uint16_t group, uint16_t element, const std::vector<ByteString>& items);
};

// A whole A-ASSOCIATE-RQ: application context, one presentation context per
// abstract syntax (IDs 1, 3, 5, ...) in implicit VR little endian, and a user
// information item with a maximum length of 16384.
ByteString AssociateRQ(const std::string& calledAE, const std::string& callingAE,
                       const std::vector<std::string>& abstractSyntaxes);
// One P-DATA-TF per fragment of at most fragment bytes.
ByteString PData(uint8_t contextID, bool command, const ByteString& message,
                 size_t fragment = 16000);

// Group 0000 in ascending tag order with its group length in front.
struct CommandSet {
  uint16_t field = 0;
  std::string affectedClass, requestedClass, affectedInstance, requestedInstance;
  bool dataSet = false;
  int actionType = -1;
  uint16_t messageID = 1;
  ByteString Encode() const;
};

// What came back for a request.
struct Outcome {
  Outcome() = default;
  Outcome(std::string what, int code = -1, std::string instance = {})
      : kind(std::move(what)), status(code), affectedInstance(std::move(instance)) {}
  std::string kind; // "status", "A-ABORT", "A-ASSOCIATE-AC", "A-ASSOCIATE-RJ",
                    // "A-RELEASE-RP", "closed", "nothing"
  int status = -1;
  std::string affectedInstance; // (0000,1000) of a response
  ByteString dataSet;           // the data set that followed a response
  std::string Text() const;     // "0x0106", "A-ABORT", ...
};

// One connection to 127.0.0.1:port.
class Peer {
public:
  explicit Peer(int port);
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool Connected() const { return fd_ >= 0; }
  bool Send(const ByteString& bytes);
  void Close();
  // Reads one PDU and, for P-DATA, the rest of its message; waits at most
  // timeoutMs for each PDU (the response timeout when not given).
  Outcome Receive(int timeoutMs = 0);
  // How long requests wait for their response (10 s unless set).
  void SetResponseTimeout(int timeoutMs) { responseTimeoutMs_ = timeoutMs; }

  // Sends the A-ASSOCIATE-RQ and reads the answer ("closed" when it could not be sent).
  Outcome RequestAssociation(const std::string& calledAE = "PDF",
                             const std::string& callingAE = "HOSTILE");
  // True when the answer is an A-ASSOCIATE-AC.
  bool Associate(const std::string& calledAE = "PDF", const std::string& callingAE = "HOSTILE");
  // Sends a command set (and a data set) on the given context; the outcome.
  Outcome Request(const CommandSet& command, const ByteString& dataSet = {},
                  uint8_t contextID = kPrintContext);
  Outcome Echo();
  Outcome Release();

  // The steps of a print job; an empty result when the step failed.
  std::string CreateSession(const ByteString& attributes = {});
  // The UID of the last film session created.
  const std::string& Session() const { return session_; }
  std::vector<std::string> CreateFilmBox(const std::string& session, const std::string& format,
                                         const std::string& filmSize = "");
  Outcome SetImageBox(const std::string& imageBox, const ByteString& dataSet);
  Outcome PrintSession(const std::string& session);
  Outcome Delete(const std::string& classUID, const std::string& instance);

  static constexpr uint8_t kEchoContext = 1;
  static constexpr uint8_t kPrintContext = 3;
  static constexpr uint8_t kStoreContext = 5;

private:
  bool ReceiveExactly(uint8_t* to, size_t n, int timeoutMs);
  int fd_ = -1;
  uint16_t messageID_ = 1;
  std::string session_;
  int responseTimeoutMs_ = 10000;
};

inline constexpr const char* kVerificationUID = "1.2.840.10008.1.1";
inline constexpr const char* kGrayscalePrintUID = "1.2.840.10008.5.1.1.9";
inline constexpr const char* kCTStorageUID = "1.2.840.10008.5.1.4.1.1.2";
inline constexpr const char* kFilmSessionUID = "1.2.840.10008.5.1.1.1";
inline constexpr const char* kFilmBoxUID = "1.2.840.10008.5.1.1.2";
inline constexpr const char* kGrayscaleImageBoxUID = "1.2.840.10008.5.1.1.4";

// The data set of an image box N-SET: a Basic Grayscale Image Sequence with one
// item describing a rows x columns image of bitsAllocated and holding pixels.
ByteString GreyImage(uint16_t rows, uint16_t columns, uint16_t bitsAllocated,
                     const ByteString& pixels, const std::string& photometric = "MONOCHROME2");

// A film box N-CREATE data set with the display format and optional film size
// and label (label goes into Film Session Label of the session, not here).
ByteString FilmBoxAttributes(const std::string& format, const std::string& filmSize = "");

} // namespace raw_peer

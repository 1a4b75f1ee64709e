#pragma once
// DIMSE command sets (PS3.7 9.3, 10.3): the command field values and the
// building of a group 0000 command set in implicit VR little endian.
#include <cstdint>
#include <optional>
#include <string>

class DcmObj;

namespace dimse {
inline constexpr uint16_t C_STORE_RQ = 0x0001, C_STORE_RSP = 0x8001;
inline constexpr uint16_t C_ECHO_RQ = 0x0030, C_ECHO_RSP = 0x8030;
inline constexpr uint16_t N_GET_RQ = 0x0110, N_GET_RSP = 0x8110;
inline constexpr uint16_t N_SET_RQ = 0x0120, N_SET_RSP = 0x8120;
inline constexpr uint16_t N_ACTION_RQ = 0x0130, N_ACTION_RSP = 0x8130;
inline constexpr uint16_t N_CREATE_RQ = 0x0140, N_CREATE_RSP = 0x8140;
inline constexpr uint16_t N_DELETE_RQ = 0x0150, N_DELETE_RSP = 0x8150;
// Data set type (0000,0800): any value other than kNoDataSet means a data set follows.
inline constexpr uint16_t kNoDataSet = 0x0101, kDataSetPresent = 0x0102;
} // namespace dimse

// The fields of one command set; absent fields are not written. UIDs are
// written only when not empty.
struct CommandFields {
  std::string AffectedSOPClassUID;              // (0000,0002)
  uint16_t CommandField = 0;                    // (0000,0100)
  std::optional<uint16_t> MessageID;            // (0000,0110)
  std::optional<uint16_t> MessageIDRespondedTo; // (0000,0120)
  std::optional<uint16_t> Priority;             // (0000,0700)
  uint16_t DataSetType = dimse::kNoDataSet;     // (0000,0800)
  std::optional<uint16_t> Status;               // (0000,0900)
  std::string AffectedSOPInstanceUID;           // (0000,1000)
  std::optional<uint16_t> ActionTypeID;         // (0000,1008)
};

// Appends (0000,0000) with the group length, then the present fields in
// ascending tag order, to an empty command set.
void BuildCommandSet(const CommandFields &fields, DcmObj &command);

// Group length of the command set BuildCommandSet makes: 8 header bytes plus the
// even-padded value of every present element.
uint32_t CommandGroupLength(const CommandFields &fields);

// True for the image storage SOP classes this system accepts and forwards.
bool IsImageStorageSOPClass(const std::string &uid);

#include "dicom/dimse_command.h"

#include <array>
#include <string_view>

#include "dicom/dcm_obj.h"

namespace {

uint32_t Even(size_t length) { return static_cast<uint32_t>(length + (length & 1)); }

constexpr uint32_t kUShortElement = 8 + 2;
constexpr std::string_view kUL = "UL", kUI = "UI", kUS = "US";

} // namespace

uint32_t CommandGroupLength(const CommandFields &fields) {
  uint32_t length = 2 * kUShortElement; // command field and data set type
  if (!fields.AffectedSOPClassUID.empty())
    length += 8 + Even(fields.AffectedSOPClassUID.size());
  for (const auto &value : {fields.MessageID, fields.MessageIDRespondedTo, fields.Priority,
                            fields.Status, fields.ActionTypeID})
    if (value)
      length += kUShortElement;
  if (!fields.AffectedSOPInstanceUID.empty())
    length += 8 + Even(fields.AffectedSOPInstanceUID.size());
  return length;
}

void BuildCommandSet(const CommandFields &fields, DcmObj &command) {
  uint32_t groupLength = CommandGroupLength(fields);
  command.Add(new DcmTag(0x0000, 0x0000, groupLength, kUL));
  if (!fields.AffectedSOPClassUID.empty())
    command.Add(new DcmTag(0x0000, 0x0002, std::string_view(fields.AffectedSOPClassUID), kUI));
  command.Add(new DcmTag(0x0000, 0x0100, fields.CommandField, kUS));
  if (fields.MessageID)
    command.Add(new DcmTag(0x0000, 0x0110, *fields.MessageID, kUS));
  if (fields.MessageIDRespondedTo)
    command.Add(new DcmTag(0x0000, 0x0120, *fields.MessageIDRespondedTo, kUS));
  if (fields.Priority)
    command.Add(new DcmTag(0x0000, 0x0700, *fields.Priority, kUS));
  command.Add(new DcmTag(0x0000, 0x0800, fields.DataSetType, kUS));
  if (fields.Status)
    command.Add(new DcmTag(0x0000, 0x0900, *fields.Status, kUS));
  if (!fields.AffectedSOPInstanceUID.empty())
    command.Add(new DcmTag(0x0000, 0x1000, std::string_view(fields.AffectedSOPInstanceUID), kUI));
  if (fields.ActionTypeID)
    command.Add(new DcmTag(0x0000, 0x1008, *fields.ActionTypeID, kUS));
}

bool IsImageStorageSOPClass(const std::string &uid) {
  static const std::array<const char *, 40> kImageStorage = {
      "1.2.840.10008.5.1.4.1.1.1",        "1.2.840.10008.5.1.4.1.1.2",
      "1.2.840.10008.5.1.4.1.1.1.2",      "1.2.840.10008.5.1.4.1.1.1.2.1",
      "1.2.840.10008.5.1.4.1.1.1.3",      "1.2.840.10008.5.1.4.1.1.1.3.1",
      "1.2.840.10008.5.1.4.1.1.1.1",      "1.2.840.10008.5.1.4.1.1.1.1.1",
      "1.2.840.10008.5.1.4.1.1.2.1",      "1.2.840.10008.5.1.4.1.1.4.1",
      "1.2.840.10008.5.1.4.1.1.12.1.1",   "1.2.840.10008.5.1.4.1.1.12.2.1",
      "1.2.840.10008.5.1.1.30",           "1.2.840.10008.5.1.1.29",
      "1.2.840.10008.5.1.4.1.1.4",        "1.2.840.10008.5.1.4.1.1.7.2",
      "1.2.840.10008.5.1.4.1.1.7.3",      "1.2.840.10008.5.1.4.1.1.7.1",
      "1.2.840.10008.5.1.4.1.1.7.4",      "1.2.840.10008.5.1.4.1.1.20",
      "1.2.840.10008.5.1.4.1.1.77.1.5.1", "1.2.840.10008.5.1.4.1.1.77.1.5.2",
      "1.2.840.10008.5.1.4.1.1.128",      "1.2.840.10008.5.1.4.1.1.5",
      "1.2.840.10008.5.1.4.1.1.6",        "1.2.840.10008.5.1.4.1.1.3",
      "1.2.840.10008.5.1.4.1.1.77.1",     "1.2.840.10008.5.1.4.1.1.77.2",
      "1.2.840.10008.5.1.4.1.1.12.3",     "1.2.840.10008.5.1.4.1.1.481.1",
      "1.2.840.10008.5.1.4.1.1.7",        "1.2.840.10008.5.1.4.1.1.6.1",
      "1.2.840.10008.5.1.4.1.1.3.1",      "1.2.840.10008.5.1.4.1.1.77.1.1",
      "1.2.840.10008.5.1.4.1.1.77.1.2",   "1.2.840.10008.5.1.4.1.1.77.1.4",
      "1.2.840.10008.5.1.4.1.1.13.1.2",   "1.2.840.10008.5.1.4.1.1.12.1",
      "1.2.840.10008.5.1.4.1.1.12.2",     "1.2.392.200036.9125.1.1.2"};
  for (const char *known : kImageStorage)
    if (uid == known)
      return true;
  return false;
}

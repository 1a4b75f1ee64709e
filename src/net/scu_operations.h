#pragma once
// Storage SCU operations on one association (used to send films to a PACS).
#include <string>

class DcmObj;
class PDU_Service;

// Proposes one presentation context (ID 1) for abstractSyntax with the transfer
// syntaxes B, A and implicit VR little endian (each once, empty ones left out)
// and opens the association. AE titles are blank-padded or cut to 16 characters.
bool OpenAssociation(PDU_Service &pdu, const std::string &callingAE, const std::string &calledAE,
                     const std::string &host, const std::string &port,
                     const std::string &abstractSyntax, const std::string &transferSyntaxA,
                     const std::string &transferSyntaxB, unsigned timeoutSeconds);

// 0 on success, -1 no presentation context, -2 its transfer syntax unknown,
// -3 the data set's transfer syntax differs from the negotiated one and cannot
// be converted (only explicit to implicit VR little endian is), -4 the request
// could not be written.
int WriteStoreRQ(PDU_Service &pdu, DcmObj &dataSet, const std::string &sopClassUID);

#include "dicom/make_uid.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>

namespace {

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
    ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
    --end;
  return std::string(text.substr(begin, end - begin));
}

// The last n characters, or the whole text when it is shorter.
std::string_view Tail(std::string_view text, size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

// Replaces every character that is neither a digit nor '.' by the digit of its
// code modulo 9, and a '0' right after a '.' by '1' (no leading zeros).
void MakeValidUID(std::string &uid) {
  for (size_t i = 0; i < uid.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(uid[i]);
    if (c != '.' && (c < '0' || c > '9'))
      uid[i] = static_cast<char>('0' + c % 9);
    if (uid[i] == '0' && i > 0 && uid[i - 1] == '.')
      uid[i] = '1';
  }
}

uint64_t Fnv1a(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string MachineText() {
  for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::ifstream in(path);
    std::string id;
    if (in && std::getline(in, id) && !Trim(id).empty())
      return Trim(id);
  }
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  return host;
}

} // namespace

std::string MakeUID(const std::string &installationId, const std::string &partA,
                    const std::string &partB, const std::string &date, const std::string &time,
                    const std::string &installationNumber) {
  std::string uid = std::string(kImplementationUIDRoot) + ".";
  uid += installationNumber;
  uid += installationId.size() < 9 ? Trim(installationId) : Trim(Tail(installationId, 8));
  uid += ".";
  uid += partB.size() < 5 ? partB : Trim(Tail(partB, 4));
  if (!partA.empty())
    uid += Trim(Tail(partA, 4)) + ".";
  const std::string_view day = date.size() > 2 ? std::string_view(date).substr(2, 6) : "";
  uid += Trim(std::string(day) + std::string(std::string_view(time).substr(0, 4)));
  MakeValidUID(uid);
  return uid;
}

std::string InstallationId() {
  static const std::string id = [] {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08llu",
                  static_cast<unsigned long long>(Fnv1a(MachineText()) % 100000000ull));
    return std::string(digits);
  }();
  return id;
}

std::string InstallationNumber() { return "1"; }

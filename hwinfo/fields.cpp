// Field kinds: text storage, trimmed module names, check date conversions and
// MAC addresses. Conversions read only inside the caller's text and never write
// past their storage, whatever the input.
#include "hwinfo/fields.h"

#include <cstdio>
#include <cstdlib>

namespace hwinfo {
namespace {

// Value of the (at most) two characters at `position` of `text`, as a decimal
// number (leading white space, optional sign, digits up to the first other
// character; none give 0), reduced to its low 8 bits. Positions past the end of
// a short text read as nothing.
std::uint8_t TwoDigitNumber(const char* text, std::size_t length, std::size_t position) {
  char digits[3] = {};
  for (std::size_t i = 0; i < 2 && position + i < length; ++i) digits[i] = text[position + i];
  return static_cast<std::uint8_t>(std::strtol(digits, nullptr, 10));
}

template <std::size_t N>
int StoreDate(std::uint8_t (&bytes)[N], const char* text, std::size_t limit,
              const std::size_t (&positions)[N]) {
  if (text == nullptr) return kRefused;
  const std::size_t length = std::strlen(text);
  if (length > limit) return kRefused;
  for (std::size_t i = 0; i < N; ++i) bytes[i] = TwoDigitNumber(text, length, positions[i]);
  return kAccepted;
}

constexpr std::size_t kDateV2Limit = 11;
constexpr std::size_t kDateV2Positions[5] = {0, 2, 4, 7, 9};
constexpr std::size_t kDateV3Limit = 8;
constexpr std::size_t kDateV3Positions[3] = {0, 3, 6};

// Large enough for any byte values (three digits each) and separators.
using FormatBuffer = char[48];

}  // namespace

int StoreText(char* storage, std::size_t storageSize, std::size_t limit, const char* text) {
  if (text == nullptr) return kRefused;
  const std::size_t length = std::strlen(text);
  if (length > limit || length >= storageSize) return kRefused;
  std::memset(storage, 0, storageSize);
  std::memcpy(storage, text, length);
  return kAccepted;
}

int TrimmedName::Set(const char* fullName) {
  if (fullName == nullptr) return kRefused;
  const std::size_t length = std::strlen(fullName);
  if (length > kFullModuleNameLength) return kRefused;
  return stored.Set(length > kNamePrefixLength ? fullName + kNamePrefixLength : "");
}

std::string TrimmedName::Get(const char* prefixSource) const {
  return std::string(prefixSource, strnlen(prefixSource, kNamePrefixLength)) + stored.Get();
}

std::size_t VariantSlot(const char* key) { return std::strcmp(key, kVariantSlot1Key) == 0 ? 1 : 0; }

int CheckDate5::Set(const char* text) { return StoreDate(bytes, text, kDateV2Limit, kDateV2Positions); }

std::string CheckDate5::Get() const {
  FormatBuffer out;
  std::snprintf(out, sizeof out, kCheckDateV2Format, bytes[0], bytes[1], bytes[2], bytes[3], bytes[4]);
  return out;
}

int CheckDate3::Set(const char* text) { return StoreDate(bytes, text, kDateV3Limit, kDateV3Positions); }

std::string CheckDate3::Get() const {
  FormatBuffer out;
  std::snprintf(out, sizeof out, kCheckDateV3Format, bytes[0], bytes[1], bytes[2]);
  return out;
}

int MacAddress::Set(const char* text) {
  if (text == nullptr || std::strlen(text) >= kMacTextLimit) return kRefused;
  unsigned int values[kMacBytes] = {};
  if (text[0] != '\0')
    std::sscanf(text, kMacScanFormat, &values[0], &values[1], &values[2], &values[3], &values[4], &values[5]);
  for (std::size_t i = 0; i < kMacBytes; ++i) bytes[i] = static_cast<std::uint8_t>(values[i]);
  return kAccepted;
}

std::string MacAddress::Get() const {
  FormatBuffer out;
  std::snprintf(out, sizeof out, kMacPrintFormat, bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5]);
  return out;
}

}  // namespace hwinfo

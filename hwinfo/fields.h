// The field kinds records are made of: fixed-width texts, version-2 module names
// (characters 3 to 20 kept), check dates of five and three bytes, MAC addresses,
// and the selector lookups. Every setter refuses null or over-long input with -1
// and leaves the field unchanged; every getter stays inside its field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "hwinfo/field_table.h"
#include "hwinfo/hw_info_constants.h"

namespace hwinfo {

constexpr int kAccepted = 0;
constexpr int kRefused = -1;

// Copies `text` zero-padded into `storage` of `storageSize` bytes when it has at
// most `limit` characters (limit < storageSize).
int StoreText(char* storage, std::size_t storageSize, std::size_t limit, const char* text);

// A text field `Width` bytes wide in the image whose setter accepts `Limit`
// characters. Storage is one byte longer than the image width, so a text of
// `Width` characters is still terminated in storage.
template <std::size_t Width, std::size_t Limit = Width>
struct TextField {
  static_assert(Limit <= Width, "a setter never accepts more than the field holds");
  char bytes[Width + 1] = {};

  int Set(const char* text) { return StoreText(bytes, sizeof bytes, Limit, text); }
  std::string Get() const { return std::string(bytes, strnlen(bytes, Width)); }
  void Describe(FieldTable& table) { table.Add(Width, bytes); }
};

// A module name of which only characters 3 to 20 are stored (18 bytes); the
// first two characters are supplied by whoever reads it.
struct TrimmedName {
  TextField<kFullModuleNameLength - kNamePrefixLength> stored;

  int Set(const char* fullName);
  std::string Get(const char* prefixSource) const;  // first two characters of the source + stored
  void Describe(FieldTable& table) { stored.Describe(table); }
};

// Stores a number given wider than its field; refuses values that do not fit.
template <typename Field>
int StoreNumber(Field& field, unsigned long value) {
  if (value > static_cast<unsigned long>(static_cast<Field>(~Field{}))) return kRefused;
  field = static_cast<Field>(value);
  return kAccepted;
}

// Slot of a variant key: "0<" is slot 1, every other key slot 0.
std::size_t VariantSlot(const char* key);

// Index of `text` among `names` (compared whole, case-sensitive), else 0.
template <std::size_t N>
std::size_t SelectorIndex(const char* text, const char* const (&names)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (std::strcmp(text, names[i]) == 0) return i;
  return 0;
}

// The group `selector` names (any other text: group 0); null for a null selector.
template <class Group, std::size_t N>
Group* SelectGroup(Group (&groups)[N], const char* selector, const char* const (&names)[N]) {
  return selector ? &groups[SelectorIndex(selector, names)] : nullptr;
}

// A check date kept as numbers, each the low 8 bits of a two-digit decimal read
// at a fixed character position of the date text.
template <std::size_t N>
struct DateBytes {
  std::uint8_t bytes[N] = {};
  void Describe(FieldTable& table) { table.Add(N, bytes); }
};

// Version 2: "YYMMDD:hhmm" (11 characters) as year, month, day, hour, minute.
struct CheckDate5 : DateBytes<5> {
  int Set(const char* text);
  std::string Get() const;
};

// Version 3: "NN-NN-NN" (8 characters) as three bytes in text order.
struct CheckDate3 : DateBytes<3> {
  int Set(const char* text);
  std::string Get() const;
};

// Six MAC bytes, first byte first.
struct MacAddress {
  std::uint8_t bytes[kMacBytes] = {};
  int Set(const char* text);
  std::string Get() const;
  void Describe(FieldTable& table) { table.Add(kMacBytes, bytes); }
};

}  // namespace hwinfo

namespace hwinfo {

// Access to a field of a group that may be absent (null selector): absent groups
// read as the empty text or 0 and refuse every value.
template <class Group, class Field>
std::string TextIn(const Group* group, Field Group::*field) {
  return group ? (group->*field).Get() : std::string();
}
template <class Group, class Field>
int SetTextIn(Group* group, Field Group::*field, const char* text) {
  return group ? (group->*field).Set(text) : kRefused;
}
template <class Group, class Number>
Number NumberIn(const Group* group, Number Group::*field) {
  return group ? group->*field : Number{};
}
template <class Group, class Number>
int SetNumberIn(Group* group, Number Group::*field, unsigned long value) {
  return group ? StoreNumber(group->*field, value) : kRefused;
}

}  // namespace hwinfo

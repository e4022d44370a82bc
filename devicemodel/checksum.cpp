// MD5 over raw bytes through the EVP interface, the trailer text, and the
// stamping of a document. The digest covers exactly the bytes WriteXml
// produces for the declaration and the root element. MD5 is fetched with the
// "fips" property dropped from the query, so a library whose default query
// asks for approved algorithms only still serves it from a provider that has it.
#include "devicemodel/checksum.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "devicemodel/messages.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_writer.h"

namespace {

constexpr char kMd5Name[] = "MD5";
constexpr char kAnyProvider[] = "-fips";

// The library's last error, for the message of a missing digest.
std::string CryptoError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "no reason given";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace

std::string Checksum(const void* bytes, size_t count, std::string* why) {
  if (!bytes || count == 0) return std::string(trailer::kDigestDigits, ' ');
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md5(EVP_MD_fetch(nullptr, kMd5Name, kAnyProvider), EVP_MD_free);
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!md5 || !context || EVP_DigestInit_ex(context.get(), md5.get(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes, count) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
    if (why) *why = messages::kDigestUnavailable + CryptoError();
    return std::string();
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0xF];
  }
  return text;
}

std::string ChecksumTrailer(const std::string& digest, size_t count) {
  char length[32];
  std::snprintf(length, sizeof length, "%0*zx", static_cast<int>(trailer::kLengthDigits), count);
  return std::string(vocab::kChecksumTag) + digest + vocab::kLengthTag + length;
}

std::string StoredDigest(const std::string& trailerValue) {
  size_t colon = trailerValue.find(':');
  if (colon == std::string::npos) return std::string();
  size_t length = trailerValue.find(vocab::kLengthTag, colon + 1);
  if (length == std::string::npos) return std::string();
  return trailerValue.substr(colon + 1, length - colon - 1);
}

bool Stamp(XmlDocument& document) {
  XmlNode top = document.Root();
  const std::string text =
      WriteXmlToString(top.Child(trailer::kDeclarationChild)) + WriteXmlToString(top.Child(trailer::kRootChild));
  const std::string digest = Checksum(text.data(), text.size());
  if (digest.empty()) return false;
  const std::string value = ChecksumTrailer(digest, text.size());
  XmlNode third = top.Child(trailer::kTrailerChild);
  XmlNodeType type = third.Type();
  if (type != XmlNodeType::Text && type != XmlNodeType::Cdata && type != XmlNodeType::Comment)
    third = top.AppendChild(XmlNodeType::Comment);
  third.SetValue(value.c_str());
  return true;
}

// MD5 over raw bytes through the EVP interface, the trailer text, and the
// stamping of a document. The digest covers exactly the bytes WriteXml
// produces for the declaration and the root element.
#include "devicemodel/checksum.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "devicemodel/messages.h"
#include "devicemodel/vocabulary.h"
#include "xml/xml_writer.h"

std::string Checksum(const void* bytes, size_t count) {
  if (!bytes || count == 0) return std::string(trailer::kDigestDigits, ' ');
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), bytes, count) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
    return std::string(trailer::kDigestDigits, ' ');
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

void Stamp(XmlDocument& document) {
  XmlNode top = document.Root();
  const std::string text = WriteXmlToString(top.Child(0)) + WriteXmlToString(top.Child(1));
  const std::string value = ChecksumTrailer(Checksum(text.data(), text.size()), text.size());
  XmlNode third = top.Child(2);
  XmlNodeType type = third.Type();
  if (type != XmlNodeType::Text && type != XmlNodeType::Cdata && type != XmlNodeType::Comment)
    third = top.AppendChild(XmlNodeType::Comment);
  third.SetValue(value.c_str());
}

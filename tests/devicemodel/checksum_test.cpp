// MD5 against the RFC 1321 test suite, the trailer format, and the
// agreement of Stamp with the checksum step of Load.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devicemodel/checksum.h"
#include "devicemodel/data_model_to_hmi.h"
#include "xml/xml_writer.h"

namespace {

TEST(Checksum, Rfc1321TestSuite) {
  const std::pair<const char*, const char*> vectors[] = {
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& v : vectors) EXPECT_EQ(Checksum(v.first, std::strlen(v.first)), v.second) << v.first;
}

TEST(Checksum, NoDataIsThirtyTwoBlanks) {
  EXPECT_EQ(Checksum("", 0), std::string(32, ' '));
  EXPECT_EQ(Checksum(nullptr, 5), std::string(32, ' '));
  EXPECT_EQ(Checksum("abc", 0), std::string(32, ' '));
}

TEST(Checksum, CountsExactlyTheGivenBytes) {
  const char bytes[] = {'a', 'b', 'c', '\0', 'd'};
  EXPECT_EQ(Checksum(bytes, 3), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_NE(Checksum(bytes, 5), Checksum(bytes, 3));
}

TEST(Checksum, TrailerText) {
  EXPECT_EQ(ChecksumTrailer("0123456789abcdef0123456789abcdef", 0x1a2),
            "CHECKSUM:0123456789abcdef0123456789abcdef LENGTH:000001a2");
  EXPECT_EQ(ChecksumTrailer("d", 0x123456789ull), "CHECKSUM:d LENGTH:123456789");
  EXPECT_EQ(StoredDigest("CHECKSUM:abc LENGTH:00000001"), "abc");
  EXPECT_EQ(StoredDigest("CHECKSUM:abc"), "");
  EXPECT_EQ(StoredDigest(" LENGTH:CHECKSUM:abc"), "");
  EXPECT_EQ(StoredDigest("X:a:b LENGTH:"), "a:b");
  EXPECT_EQ(StoredDigest(""), "");
}

TEST(Checksum, StampedDocumentEndsInTheTrailerLine) {
  XmlDocument doc;
  doc.ParseCopy("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root a=\"1\"><x>5</x></root>");
  Stamp(doc);
  const std::string text = WriteXmlToString(doc.Root());
  const std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root a=\"1\">\n\t<x>5</x>\n</root>\n";
  ASSERT_EQ(text.substr(0, body.size()), body);
  EXPECT_EQ(text.substr(body.size()), "<!--CHECKSUM:" + Checksum(body.data(), body.size()) + " LENGTH:00000046-->\n");
  EXPECT_EQ(text.size() - body.size(), 65u);
  // Stamping again reuses the third child.
  Stamp(doc);
  EXPECT_EQ(doc.Root().ChildCount(), 3u);
  EXPECT_EQ(WriteXmlToString(doc.Root()), text);
}

TEST(Checksum, StampReplacesATextThirdChildAndAppendsOtherwise) {
  XmlDocument doc;
  doc.ParseCopy("<?xml version=\"1.0\"?><root/><!--old--><!--more-->");
  Stamp(doc);
  ASSERT_EQ(doc.Root().ChildCount(), 4u);
  EXPECT_EQ(doc.Root().Child(2).Value().substr(0, 9), "CHECKSUM:");
  XmlDocument other;
  other.ParseCopy("<?xml version=\"1.0\"?><root/><x/>");
  Stamp(other);
  ASSERT_EQ(other.Root().ChildCount(), 4u);
  EXPECT_EQ(other.Root().Child(3).Type(), XmlNodeType::Comment);
}

}  // namespace

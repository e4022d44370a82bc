// The MD5 checksum of model and parameter texts (RFC 1321 through OpenSSL's
// libcrypto) and the trailer comment that carries it. Stamp and Load agree:
// a stamped document written out ends in exactly the 65-byte comment line.
#pragma once

#include <cstddef>
#include <string>

#include "xml/xml_document.h"

// 32 lowercase hexadecimal digits; 32 blanks for no data or a count of 0.
// Empty when the crypto library offers no MD5 (no provider with it loaded);
// `why` then receives the cause.
std::string Checksum(const void* bytes, size_t count, std::string* why = nullptr);

// "CHECKSUM:" + digest + " LENGTH:" + count as at least 8 lowercase hex digits.
std::string ChecksumTrailer(const std::string& digest, size_t count);

// The digest stored in a trailer value: the text between the first ':' and
// the first " LENGTH:" after it; empty when there is none.
std::string StoredDigest(const std::string& trailerValue);

// Writes the document's first two children (declaration and root element)
// with tab indentation and line breaks, and stores their trailer as the
// value of the third child (reused when it is a text, CDATA or comment
// node, otherwise a new comment is appended). False, with the document
// unchanged, when no digest can be computed.
bool Stamp(XmlDocument& document);

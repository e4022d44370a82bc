// The texts the device-model library produces, named once: the checksum
// trailer fields and the load failure messages of LoadResult.
#pragma once

namespace messages {
inline constexpr const char kInvalidModel[] = "Invalid device model!\n";
inline constexpr const char kBadChecksum[] = "Missing or invalid checksum";
inline constexpr const char kSyntaxBefore[] = "Device model syntax format '";
inline constexpr const char kSyntaxAfter[] = "' not supported with this application.";
inline constexpr const char kMissingMainAttributes[] = "Missing necessary main attributes";
inline constexpr const char kNoMenuTreeBefore[] = "None necessary element found with attribute name '";
inline constexpr const char kNoMenuTreeMiddle[] = "' and value = '";
inline constexpr const char kNoMenuTreeAfter[] = "'";
inline constexpr const char kNoMenuRootBefore[] = "None attribute value '";
inline constexpr const char kNoMenuRootAfter[] = "' in HMI menu tree found!";
inline constexpr const char kParseError[] = "Any other parsing error";
// Code 1 when the crypto library cannot compute MD5; its own reason follows.
inline constexpr const char kDigestUnavailable[] = "MD5 checksum not available from the crypto library: ";
// Code 3 as well: the multiSets attribute makes the parameter file too large.
inline constexpr const char kTooLargeBefore[] = "Parameter file of ";
inline constexpr const char kTooLargeMiddle[] = " elements exceeds the limit of ";
inline constexpr const char kTooLargeAfter[] = " elements with multiSets '";
}  // namespace messages

namespace trailer {
// "CHECKSUM:" + 32 hex digits + " LENGTH:" + 8 hex digits, written as a
// comment line: "<!--" + 57 characters + "-->" + line feed = 65 bytes.
inline constexpr unsigned kDigestDigits = 32;
inline constexpr unsigned kLengthDigits = 8;
inline constexpr unsigned kCommentLineBytes = 65;
// The children of a model or parameter document, in order: the XML
// declaration, the root element, the trailer comment.
inline constexpr unsigned kDeclarationChild = 0;
inline constexpr unsigned kRootChild = 1;
inline constexpr unsigned kTrailerChild = 2;
}  // namespace trailer

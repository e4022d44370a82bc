// libFuzzer target for the device-model library. The input is a model body,
// optionally followed by a zero byte and a type code. The body is loaded as
// it is, and again with a correct checksum trailer stamped onto it (a body
// that already ends in a trailer line has it replaced), so that mutations
// reach past the checksum check. Each load runs the whole sequence scripts
// use: generation, type code get and set, signatures, parameter file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "devicemodel/checksum.h"
#include "devicemodel/device_model_creator.h"
#include "devicemodel/messages.h"

namespace {

constexpr char kTrailerStart[] = "<!--CHECKSUM:";

std::string WithTrailer(const std::string& body) {
  return body + "<!--" + ChecksumTrailer(Checksum(body.data(), body.size()), body.size()) + "-->\n";
}

void RunCreator(const std::string& model, const std::string* typecode) {
  DeviceModelCreator creator(model.c_str());
  const bool created = creator.CreateCustomerDeviceParameter("fuzz", "2026-12-07");
  const std::string code = creator.GetTypecode();
  if (!created && !code.empty()) __builtin_trap();  // nothing to read without a load
  creator.SetTypecode(typecode ? typecode->c_str() : code.c_str());
  creator.GetTypecode();
  const std::vector<std::string> signatures = creator.GetSwComponentSignatureVector();
  const std::string file = creator.WriteCustomerAllParameter("fuzz", "2026-12-07");
  if (file.empty()) return;
  // A parameter file ends in its trailer line; it loads back as a model text.
  if (!created || file.size() < trailer::kCommentLineBytes ||
      file.compare(file.size() - trailer::kCommentLineBytes, sizeof kTrailerStart - 1, kTrailerStart) != 0)
    __builtin_trap();
  DeviceModelCreator again(file.c_str());
  again.CreateCustomerDeviceParameter("fuzz", "again");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t zero = input.find('\0');
  std::string body = input.substr(0, zero);
  std::string typecode;
  const bool hasTypecode = zero != std::string::npos;
  if (hasTypecode) typecode = input.substr(zero + 1, 64);
  if (typecode.find('\0') != std::string::npos) typecode.erase(typecode.find('\0'));

  RunCreator(body, hasTypecode ? &typecode : nullptr);
  if (body.size() >= trailer::kCommentLineBytes &&
      body.compare(body.size() - trailer::kCommentLineBytes, sizeof kTrailerStart - 1, kTrailerStart) == 0)
    body.resize(body.size() - trailer::kCommentLineBytes);
  RunCreator(WithTrailer(body), hasTypecode ? &typecode : nullptr);
  return 0;
}

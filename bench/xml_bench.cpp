// Parse speed of the in-place parser against expat on the same generated
// document (about 20 MB, many attributes per element). Prints both
// throughputs and their ratio; each parser's best of several runs counts.
#include <expat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "xml/xml_document.h"

namespace {

std::string GenerateModel(size_t targetBytes) {
  std::mt19937 random(42);
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DeviceModel Version=\"16\">\n";
  size_t module = 0;
  while (text.size() < targetBytes) {
    text += " <Module Name=\"M" + std::to_string(module) + "\" Kind=\"Protection\" Index=\"" +
            std::to_string(module) + "\">\n";
    for (int p = 0; p < 40; ++p) {
      unsigned value = random() % 100000;
      text += "  <Parameter Name=\"P" + std::to_string(p) + "\" Type=\"Integer\" Default=\"" +
              std::to_string(value) + "\" Min=\"0\" Max=\"100000\" Unit=\"ms\" Step=\"1\" Ref=\"Module/M" +
              std::to_string(module) + "/P" + std::to_string(p) + "\" Flags=\"a &amp; b\"/>\n";
      if (p % 8 == 0) text += "  <Text Id=\"T" + std::to_string(p) + "\">Setting &lt;" + std::to_string(p) + "&gt;</Text>\n";
    }
    text += " </Module>\n";
    ++module;
  }
  text += "</DeviceModel>\n";
  return text;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void XMLCALL OnStart(void* data, const XML_Char*, const XML_Char** attributes) {
  size_t& count = *static_cast<size_t*>(data);
  for (; *attributes; attributes += 2) ++count;
}
void XMLCALL OnEnd(void*, const XML_Char*) {}
void XMLCALL OnText(void* data, const XML_Char*, int length) { *static_cast<size_t*>(data) += length > 0; }

double TimeExpat(const std::string& text) {
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    size_t count = 0;
    auto start = std::chrono::steady_clock::now();
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &count);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK)
      std::fprintf(stderr, "expat: %s\n", XML_ErrorString(XML_GetErrorCode(parser)));
    XML_ParserFree(parser);
    best = std::min(best, Seconds(start));
  }
  return best;
}

double TimeOurs(const std::string& text, size_t& elements) {
  double best = 1e9;
  std::vector<char> buffer(text.size() + 1);
  for (int run = 0; run < 5; ++run) {
    std::memcpy(buffer.data(), text.data(), text.size() + 1);  // the parser writes into its text
    XmlDocument doc;
    auto start = std::chrono::steady_clock::now();
    doc.Parse(buffer.data());
    best = std::min(best, Seconds(start));
    elements = doc.Root().Child(1).ChildCount();
  }
  return best;
}

}  // namespace

int main() {
  const std::string text = GenerateModel(20u << 20);
  const double megabytes = static_cast<double>(text.size()) / (1 << 20);
  size_t modules = 0;
  const double ours = TimeOurs(text, modules);
  const double expat = TimeExpat(text);
  std::printf("document: %.1f MB, %zu modules\n", megabytes, modules);
  std::printf("in-place parser: %8.1f MB/s\n", megabytes / ours);
  std::printf("expat:           %8.1f MB/s\n", megabytes / expat);
  std::printf("ratio (ours / expat): %.2f\n", expat / ours);
  return 0;
}

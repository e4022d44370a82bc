// Parse speed of the in-place parser against expat on the same generated
// documents in memory: a generic one (about 20 MB, many attributes per
// element) and a device model of 80,000 parameters (the shape the parameter
// benchmark loads). Prints both throughputs, from the median of 5 runs each,
// and their ratio.
#include <expat.h>

#include <algorithm>
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

// A device model like bench/kestor_bench.py's: parameters in multi-set
// parameter sets, each with a dependency rule, and a menu entry per parameter.
std::string GenerateDeviceModel(int parameters) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root device=\"BENCH\" versionContent=\"1.0\" "
      "versionSyntax=\"12\" multiSets=\"4\">\n\t<Parameters type=\"sectionMDM\">\n";
  const int perModule = parameters / 10;
  for (int module = 0; module < 10; ++module) {
    const std::string m = std::to_string(module);
    text += "\t\t<Module" + m + " type=\"mdm\" installed=\"true\" projected=\"true\">\n";
    text += "\t\t\t<Stages based=\"paraSet\" type=\"sectionMultiSet\">\n";
    for (int p = 0; p < perModule; ++p) {
      const std::string n = std::to_string(p);
      text += "\t\t\t\t<P" + n + " type=\"float\" min=\"0.00\" max=\"100.00\" default=\"" + std::to_string(p % 100) +
              ".50\" unitRef=\"Units/A\"><R type=\"dependents\" check=\"gt\" with=\"50\"><T type=\"then\">"
              "<X set=\"7.50\" attRef=\"Parameters/Module" + m + "/Stages/P" + std::to_string(p + 1) +
              "@default\"/></T></R></P" + n + ">\n";
    }
    text += "\t\t\t</Stages>\n\t\t</Module" + m + ">\n";
  }
  text += "\t</Parameters>\n\t<Hmi mode=\"menuTree\"><Main type=\"root\">\n";
  for (int module = 0; module < 10; ++module) {
    const std::string m = std::to_string(module);
    text += "\t\t<View" + m + " type=\"entryList\">";
    for (int p = 0; p < perModule; ++p)
      text += "<E" + std::to_string(p) + " type=\"entry\" entryRef=\"Parameters/Module" + m + "/Stages/P" +
              std::to_string(p) + "\"/>";
    text += "</View" + m + ">\n";
  }
  return text + "\t</Main></Hmi>\n</root>\n";
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
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
  std::vector<double> times;
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
    times.push_back(Seconds(start));
  }
  return Median(times);
}

double TimeOurs(const std::string& text) {
  std::vector<double> times;
  std::vector<char> buffer(text.size() + 1);
  for (int run = 0; run < 5; ++run) {
    std::memcpy(buffer.data(), text.data(), text.size() + 1);  // the parser writes into its text
    XmlDocument doc;
    auto start = std::chrono::steady_clock::now();
    doc.Parse(buffer.data());
    times.push_back(Seconds(start));
    if (!doc.ParsedWhole()) std::fprintf(stderr, "in-place parser: document not read whole\n");
  }
  return Median(times);
}

void Compare(const char* name, const std::string& text) {
  const double megabytes = static_cast<double>(text.size()) / (1 << 20);
  const double expat = TimeExpat(text);
  const double ours = TimeOurs(text);
  std::printf("%s: %.1f MB\n", name, megabytes);
  std::printf("  in-place parser: %8.1f MB/s\n", megabytes / ours);
  std::printf("  expat:           %8.1f MB/s\n", megabytes / expat);
  std::printf("  ratio (ours / expat): %.2f\n", expat / ours);
}

}  // namespace

int main() {
  Compare("generic document", GenerateModel(20u << 20));
  Compare("device model, 80,000 parameters", GenerateDeviceModel(80000));
  return 0;
}

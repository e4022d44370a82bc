// Test tool: parses each file named on the command line and writes it back
// (tab indent, line breaks) into the output directory given first, as
// <index>.xml, so a script can compare the results with another reader.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "xml/xml_document.h"
#include "xml/xml_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: xml_rewrite_tool OUTPUT_DIR FILE...\n";
    return 2;
  }
  const std::string outputDir = argv[1];
  // Keep CDATA sections (they hold text) and the declaration.
  const uint32_t flags = 0x0A | 0x10;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    XmlDocument doc;
    doc.ParseCopy(content.str(), flags);
    std::ofstream out(outputDir + "/" + std::to_string(i - 2) + ".xml", std::ios::binary);
    WriteXml(doc.Root(), out, '\t', true);
    if (!doc.ParsedWhole()) std::cerr << "incomplete: " << argv[i] << "\n";
  }
  return 0;
}

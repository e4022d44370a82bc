// WriteXml: writes a node, or every child of a document record, as text.
// Attribute values and text are escaped so that the output parses back to
// the same tree; comments, CDATA and INCLUDE contents are written unchanged.
#pragma once

#include <ostream>
#include <string>

#include "xml/xml_node.h"

// indentChar 0 writes no indentation; lineBreaks adds a line feed after each
// node and before the children of an element.
void WriteXml(XmlNode node, std::ostream& out, char indentChar = '\t', bool lineBreaks = true);

// Convenience: the text WriteXml produces, as a string.
std::string WriteXmlToString(XmlNode node, char indentChar = '\t', bool lineBreaks = true);

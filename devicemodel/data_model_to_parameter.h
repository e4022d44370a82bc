// CDataModelToParameter: builds the parameter document from a loaded model.
// The walk mirrors every parameter-set element (with its whole subtree) under
// the section element; the set-number pass then replicates the multi-set
// elements once per parameter set. Every descent uses an explicit stack, so
// no model depth can exhaust the call stack.
#pragma once

#include <cstdint>
#include <string>

#include "xml/xml_document.h"
#include "xml/xml_walker.h"

// The header of the parameter file's `root` element, in writing order.
struct ParameterFileHeader {
  std::string versionSyntax;
  std::string device;
  std::string versionContent;
  std::string generator;
  std::string created;
  std::string handoff;  // written as createdWithDmHandoff
};

class CDataModelToParameter : public XmlWalker {
 public:
  // Writes the declaration and the `root` element with its header into the
  // (empty) destination document.
  CDataModelToParameter(XmlDocument& destination, int multiSetCount, const ParameterFileHeader& header);

  // Called for every node below the model's root element. A parameter-set
  // element is copied whole and not descended into: a parameter set nested
  // in it arrives with its ancestor's copy, never a second time.
  bool for_each(XmlNode node, bool& descend) override;

  // Copies one model subtree below destination: a parameter-set element
  // marks destination with its set number, any other element becomes a new
  // child holding its default as text.
  void CopyAndAddValueAndSetNumberToDestinationNode(XmlNode model, XmlNode destination);

  // Replicates every element whose setNo is "1" for the sets 2 .. count,
  // appending the copies after the last sibling, in set order.
  void SetNumberPass(XmlNode top);
  // The number of elements at and below top once SetNumberPass has run over
  // it, counted without copying: an element is copied once per set for each
  // element at or above it whose setNo is "1" (copies are renumbered, so they
  // are never copied again). Saturates instead of overflowing.
  uint64_t ElementCountAfterSetNumberPass(XmlNode top) const;

  XmlNode Root() const { return root_; }
  // The section element is the first child of `root`; the implausible
  // values, when written, are its last.
  static constexpr size_t kSectionElementChild = 0;

 private:
  XmlNode SectionElement() const;
  XmlNode Destination(XmlNode parameterSet) const;
  void Replicate(XmlNode element);
  int SetCount() const;  // the multi-set count, at most kMaxMultiSets

  XmlDocument& destination_;
  XmlNode root_;
  int multiSetCount_;
};

// Replicating more sets than this is refused: a relay has a handful of
// parameter sets, and a count read from a damaged model must not make the
// writer copy a parameter set billions of times.
constexpr int kMaxMultiSets = 1000;
// The most elements a parameter document may hold after the set-number pass
// (a real relay's is a few hundred thousand); a model that would exceed it is
// refused before anything is copied, rather than growing toward all memory.
constexpr uint64_t kMaxParameterElements = 2000000;

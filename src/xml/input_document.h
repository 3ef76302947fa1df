// Reading the input document.
//
// libxml2 builds the tree as xmlReadFile(path, NULL, XML_PARSE_NONET | XML_PARSE_COMPACT)
// does: the tree of the default options, with each short text kept inside its node rather than
// in a block of its own (the converter only reads the tree, which is what the option asks). On
// the way the parser's notes are taken (DocumentNotes), so that registering the document's
// namespaces later visits the elements that declare them instead of every node of a large
// tree, and a search finds the elements of its name without a walk.
#pragma once

#include <libxml/tree.h>

#include <vector>

#include "text/tracked_memory.h"
#include "xml/elements_by_name.h"
#include "xml/xml_handles.h"

namespace ruvo {

// What the parse noted about the tree on the way, so that nothing needs a walk of a large tree
// afterwards: the elements that declare namespaces, and every element by local name (the lists
// searches are answered from, xml/element_index.h), each in document order. Only complete notes
// may stand for the tree: they are not when the document holds entity references (their content
// is parsed apart from the tree) or memory ran short while noting.
struct DocumentNotes {
  bool complete = false;
  std::vector<xmlNode*, TrackedAllocator<xmlNode*>> declaring;
  ElementsByName by_name;

  void clear() noexcept {
    complete = false;
    declaring.clear();
    by_name.clear();
  }
};

// Parses the file: never from the network, entities not substituted, no DTD loaded. None when
// the file cannot be read or is not well-formed; libxml2 has then recorded why, naming the file
// as shown_name when one is given (a copy read in another folder keeps its original's name).
[[nodiscard]] XmlDocPtr read_input_document(const char* path, DocumentNotes& notes,
                                            const char* shown_name = nullptr);

}  // namespace ruvo

// Reading the input document.
//
// libxml2 builds the tree exactly as xmlReadFile(path, NULL, XML_PARSE_NONET) does; on the way
// the elements that declare namespaces are noted, so that registering the document's
// namespaces later visits those elements instead of every node of a large tree.
#pragma once

#include <libxml/tree.h>

#include <vector>

#include "text/tracked_memory.h"
#include "xml/xml_handles.h"

namespace ruvo {

// The elements of the document's tree that declare namespaces, in document order. Only a
// complete list may stand for the tree: it is not when the document holds entity references
// (their content is parsed apart from the tree) or memory ran short while noting.
struct NamespaceDeclarations {
  bool complete = false;
  std::vector<xmlNode*, TrackedAllocator<xmlNode*>> elements;
};

// Parses the file: never from the network, entities not substituted, no DTD loaded. None when
// the file cannot be read or is not well-formed; libxml2 has then recorded why.
[[nodiscard]] XmlDocPtr read_input_document(const char* path, NamespaceDeclarations& declarations);

}  // namespace ruvo

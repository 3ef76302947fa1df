#include "xml/input_document.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <new>

namespace ruvo {

namespace {

// The parser's own handlers do the work; these note what the tree will need. The parser gives
// every handler its context, whose _private holds the list (none in contexts libxml2 makes for
// entity content, which is never part of the tree).
NamespaceDeclarations* declarations_of(void* parser) {
  return static_cast<NamespaceDeclarations*>(static_cast<xmlParserCtxt*>(parser)->_private);
}

void note_start_element(void* parser, const xmlChar* local_name, const xmlChar* prefix,
                        const xmlChar* uri, int namespace_count, const xmlChar** namespaces,
                        int attribute_count, int defaulted_count, const xmlChar** attributes) {
  xmlSAX2StartElementNs(parser, local_name, prefix, uri, namespace_count, namespaces,
                        attribute_count, defaulted_count, attributes);
  NamespaceDeclarations* declarations = declarations_of(parser);
  const xmlNode* element = static_cast<xmlParserCtxt*>(parser)->node;
  if (declarations == nullptr || element == nullptr || element->type != XML_ELEMENT_NODE ||
      element->nsDef == nullptr) {
    return;
  }
  try {
    declarations->elements.push_back(const_cast<xmlNode*>(element));
  } catch (const std::bad_alloc&) {
    declarations->complete = false;
  }
}

void note_reference(void* parser, const xmlChar* name) {
  xmlSAX2Reference(parser, name);
  if (NamespaceDeclarations* declarations = declarations_of(parser)) {
    declarations->complete = false;
  }
}

}  // namespace

XmlDocPtr read_input_document(const char* path, NamespaceDeclarations& declarations) {
  constexpr int kOptions = XML_PARSE_NONET;
  declarations.elements.clear();
  declarations.complete = false;
  // What xmlReadFile does, with the two handlers in between.
  XmlParserCtxtPtr parser(xmlCreateURLParserCtxt(path, kOptions));
  if (!parser || parser->sax == nullptr) {
    return XmlDocPtr();
  }
  // Only the standard tree-building handlers are wrapped; any others leave the list unknown.
  if (parser->sax->startElementNs == xmlSAX2StartElementNs &&
      parser->sax->reference == xmlSAX2Reference) {
    parser->sax->startElementNs = note_start_element;
    parser->sax->reference = note_reference;
    parser->_private = &declarations;
    declarations.complete = true;
  }
  xmlCtxtUseOptions(parser.get(), kOptions);
  xmlParseDocument(parser.get());
  XmlDocPtr document(parser->myDoc);
  parser->myDoc = nullptr;
  if (!parser->wellFormed && !parser->recovery) {
    document.reset();
  }
  if (!document) {
    declarations.elements.clear();
    declarations.complete = false;
  }
  return document;
}

}  // namespace ruvo

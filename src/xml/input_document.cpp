#include "xml/input_document.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <new>

namespace ruvo {

namespace {

// The parser's own handlers do the work; these note what the tree will need. The parser gives
// every handler its context, whose _private holds the notes (none in contexts libxml2 makes for
// entity content, which is never part of the tree).
DocumentNotes* notes_of(void* parser) {
  return static_cast<DocumentNotes*>(static_cast<xmlParserCtxt*>(parser)->_private);
}

void note_start_element(void* parser, const xmlChar* local_name, const xmlChar* prefix,
                        const xmlChar* uri, int namespace_count, const xmlChar** namespaces,
                        int attribute_count, int defaulted_count, const xmlChar** attributes) {
  xmlSAX2StartElementNs(parser, local_name, prefix, uri, namespace_count, namespaces,
                        attribute_count, defaulted_count, attributes);
  DocumentNotes* notes = notes_of(parser);
  xmlNode* element = static_cast<xmlParserCtxt*>(parser)->node;
  if (notes == nullptr || !notes->complete || element == nullptr ||
      element->type != XML_ELEMENT_NODE || element->name == nullptr) {
    return;
  }
  try {
    notes->by_name.add(element);
    if (element->nsDef != nullptr) {
      notes->declaring.push_back(element);
    }
  } catch (const std::bad_alloc&) {
    notes->complete = false;
  }
}

void note_reference(void* parser, const xmlChar* name) {
  xmlSAX2Reference(parser, name);
  if (DocumentNotes* notes = notes_of(parser)) {
    notes->complete = false;
  }
}

}  // namespace

XmlDocPtr read_input_document(const char* path, DocumentNotes& notes, const char* shown_name) {
  constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_COMPACT;
  notes.clear();
  // What xmlReadFile does, with the two handlers in between.
  XmlParserCtxtPtr parser(xmlCreateURLParserCtxt(path, kOptions));
  if (!parser || parser->sax == nullptr) {
    return XmlDocPtr();
  }
  // libxml2 names the file in its errors by the input's file name, which the input owns.
  if (shown_name != nullptr && parser->input != nullptr) {
    char* shown = xmlMemStrdup(shown_name);
    if (shown == nullptr) {
      return XmlDocPtr();
    }
    xmlFree(const_cast<char*>(parser->input->filename));
    parser->input->filename = shown;
  }
  // Only the standard tree-building handlers are wrapped; any others leave the notes incomplete.
  if (parser->sax->startElementNs == xmlSAX2StartElementNs &&
      parser->sax->reference == xmlSAX2Reference) {
    parser->sax->startElementNs = note_start_element;
    parser->sax->reference = note_reference;
    parser->_private = &notes;
    notes.complete = true;
  }
  xmlCtxtUseOptions(parser.get(), kOptions);
  xmlParseDocument(parser.get());
  XmlDocPtr document(parser->myDoc);
  parser->myDoc = nullptr;
  if (!parser->wellFormed && !parser->recovery) {
    document.reset();
  }
  if (!document || !notes.complete) {
    notes.clear();  // incomplete notes stand for nothing: their memory goes back now
  }
  return document;
}

}  // namespace ruvo

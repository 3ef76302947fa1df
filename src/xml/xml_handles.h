// Owners for what libxml2 hands out. One deleter serves every kind of handle, so no libxml2
// object is ever released by hand. Declare a document before the XPath context made on it, so
// that the context goes first.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#include <libxml/xpath.h>

#include <memory>

namespace ruvo {

struct XmlFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
  void operator()(xmlXPathCompExpr* expression) const { xmlXPathFreeCompExpr(expression); }
  // xmlFree is a variable of libxml2 (a function pointer), so it is called here, not named.
  void operator()(xmlChar* text) const { xmlFree(text); }
  // The array xmlGetNsList hands out (its entries belong to the tree).
  void operator()(xmlNs** list) const { xmlFree(list); }
};

using XmlDocPtr = std::unique_ptr<xmlDoc, XmlFree>;
using XmlParserCtxtPtr = std::unique_ptr<xmlParserCtxt, XmlFree>;
using XmlXPathContextPtr = std::unique_ptr<xmlXPathContext, XmlFree>;
using XmlXPathObjectPtr = std::unique_ptr<xmlXPathObject, XmlFree>;
using XmlXPathCompExprPtr = std::unique_ptr<xmlXPathCompExpr, XmlFree>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlFree>;
using XmlNsListPtr = std::unique_ptr<xmlNs*, XmlFree>;

// Keeps libxml2 from printing errors and warnings on standard error for the rest of the run.
// libxml2 still records the last error, which the run log reports.
void silence_libxml2_messages();

}  // namespace ruvo

// The fixed documents that the fill and evaluation targets work on, parsed once per process as
// a run parses its input. The targets never change them.
#pragma once

#include <libxml/parser.h>

#include <cstring>

#include "fuzz_support.h"
#include "xml/xml_handles.h"

namespace ruvo::fuzz {

// An invoice whose elements sit in a default namespace.
inline constexpr const char* kInvoice = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- before the root -->
<Comprobante xmlns="urn:factura" xmlns:x="urn:x" total="1432098.75" subTotal="1234567.891"
             moneda="MXN" serie="A">
  <Emisor rfc="AAA010101AAA" nombre="Ferreter&#237;a &amp; Hijos &#8364;"/>
  <Conceptos>
    <Detaprod cantidad="2" descripcion="Tornillo &quot;1/2&quot;" importe="150.00">
      <Cargo monto="24.00" tipo="IVA"/>
      <Cargo monto="1.50" tipo="IEPS"><Cargo monto="0.01" tipo="sub"/></Cargo>
    </Detaprod>
    <Detaprod cantidad="1" importe="1200.50"><Cargo monto="192.08" tipo="IVA"/></Detaprod>
    <x:Detaprod cantidad="9" importe="-$1234"/>
    <Detaprod cantidad="12000" importe="1233217.391"/>
  </Conceptos>
  <Observaciones>Entrega &lt;&lt;en obra&gt;&gt;</Observaciones>
  <Nota>otra &lt;&lt;Observaciones&gt;&gt;</Nota>
  <Comentario texto="uno&#10;~] dos&#13;&#10;~[ tres&#13;~# cuatro">~] cinco&#10;~&lt; seis&#10;&lt;&lt;%HOME%&gt;&gt; &lt;&lt;{//Vacio}&gt;&gt;&#13;~&gt;</Comentario>
  <Vacio/>
</Comprobante>
)";

// Prefixed elements, a prefix bound again below, a default namespace turned off; no declared
// encoding.
inline constexpr const char* kPrefixed = R"(<?xml version="1.0"?>
<f:Factura xmlns:f="urn:f" xmlns:g="urn:g" f:total="99.5" total="1000">
  <f:Item g:v="1" v="2000"><g:Sub a="x" v="3"/><g:Sub a="y"/></f:Item>
  <f:Item v="12345"><f:Item v="nested"/></f:Item>
  <g:Item xmlns:g="urn:other" v="rebound"/>
  <Plain xmlns="" v="plain"><Inner v="inner"/></Plain>
  <d:Default xmlns:d="urn:d" xmlns="urn:d2"><Child v="child"/></d:Default>
</f:Factura>
)";

// No namespace at all; same-named elements at several depths.
inline constexpr const char* kPlain = R"(<?xml version="1.0"?>
<?pi before the root?>
<Doc total="1234567" a="A&amp;B">
  <D importe="7" n="1"><D importe="70" n="1.1"><D importe="700" n="1.1.1"/></D></D>
  <D importe="8" n="2"/>
  <E v="1"/><D importe="9" n="3"/>
  <Text>texto &#241; &#x4E2D;</Text>
  <Expr>{//D/@importe}</Expr>
  <![CDATA[loose]]>
</Doc>
)";

// A declared Latin-1 encoding, a DOCTYPE with an entity left as a reference (runs do not
// substitute entities) and a default attribute, and namespaces on attributes.
inline constexpr const char* kEntities =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
    "<!DOCTYPE r [\n"
    "  <!ENTITY e \"<D importe='5' n='entity'/>entity text\">\n"
    "  <!ATTLIST D extra CDATA \"default\">\n"
    "]>\n"
    "<r xmlns:p=\"urn:p\" xml:lang=\"es\" a=\"a\xE9\">&e;<D importe=\"6\" p:n=\"ns-attr\"/>"
    "<!-- c --><?pi x?><p:D importe=\"7\"/>"
    "<D xmlns=\"urn:inner\" importe=\"8\"><D importe=\"9\">&e;</D></D></r>\n";

inline constexpr int kDocumentCount = 4;

inline xmlDoc* document(int index) {
  static XmlDocPtr documents[kDocumentCount];
  static const char* const texts[kDocumentCount] = {kInvoice, kPrefixed, kPlain, kEntities};
  if (!documents[index]) {
    documents[index].reset(xmlReadMemory(texts[index], static_cast<int>(std::strlen(texts[index])),
                                         nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_COMPACT));
    check(static_cast<bool>(documents[index]), "a fixed document does not parse");
  }
  return documents[index].get();
}

// What a target that works on the documents does once: libxml2 ready and quiet, every
// document parsed before the first input.
inline void prepare_documents() {
  xmlInitParser();
  silence_libxml2_messages();
  for (int i = 0; i < kDocumentCount; ++i) {
    static_cast<void>(document(i));
  }
}

}  // namespace ruvo::fuzz

#include "xml/xml_handles.h"

#include <libxml/xmlerror.h>

namespace ruvo {

namespace {

void ignore_generic_message(void*, const char*, ...) {}
void ignore_structured_error(void*, xmlErrorPtr) {}

}  // namespace

void silence_libxml2_messages() {
  xmlSetGenericErrorFunc(nullptr, ignore_generic_message);
  xmlSetStructuredErrorFunc(nullptr, ignore_structured_error);
}

}  // namespace ruvo

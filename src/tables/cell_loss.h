// What a cell's value lost on its way to Latin-1, found out only for an observer.
#pragma once

#include <libxml/xmlstring.h>

#include <string_view>

#include "text/text_buffer.h"
#include "text/text_codec.h"
#include "xml/run_text.h"

namespace ruvo {

struct CellLoss {
  bool lossy = false;
  TextBufferPtr text;  // the document's text (UTF-8) of a lossy value

  // Notes whether the content loses characters in the encoding, keeping it when it does.
  void note(const TextCodec& codec, const xmlChar* content) {
    lossy = output_loses(codec, content);
    text = lossy ? text_buffer_from(reinterpret_cast<const char*>(content)) : TextBufferPtr();
  }
  std::string_view lost_text() const { return lossy && text ? text->view() : std::string_view(); }
};

}  // namespace ruvo

// The single-value placeholders: XPath {...}, environment %...% and bare element.
//
// Each one replaces the placeholder's span [start, end] of the template's cursor line in every
// case, with the value or with "" when there is none, and leaves the cursor where it is. The
// XPath and bare-element placeholders make the first node they select the context node of the
// run's XPath context and never set it back, so a later relative expression starts there.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/run_environment.h"
#include "config/comma_insert.h"
#include "fill/fill_status.h"
#include "fill/scan_line.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "text/text_buffer.h"
#include "xml/xpath_context.h"

namespace ruvo {

// What every placeholder of one scan shares.
struct FillContext {
  const RunEnvironment& run;  // the settings, the log and the observer of the run
  XPathContext& xpath;
  LineList* template_lines;
  const CommaInsert& comma;
  OutputFile* output;  // takes final lines while the template is filled; none when held
  ScanLine& scan;      // the cursor line
};

// Where a placeholder stands on the cursor line: its first '<' and the last '>' of ">>".
struct Span {
  std::size_t start;
  std::size_t end;
};

// <<{expression}>>: the expression (qualified) selects a node whose text is placed. An
// expression libxml2 cannot evaluate leaves a warning and libxml2's error in the run log.
FillStatus fill_xpath_placeholder(FillContext& fill, const TextBuffer& content, Span span);
// <<%NAME%>>: the environment variable's bytes as they are.
FillStatus fill_env_placeholder(FillContext& fill, const TextBuffer& content, Span span);
// <<name>>: the text of the first element found through //name (qualified), never entity
// encoded. Nothing found logs a warning and is no failure.
FillStatus fill_element_placeholder(FillContext& fill, const TextBuffer& content, Span span);

// Replaces the span with the text, entity-encoded in Xml mode when encode is set, and sets where
// the scan goes on. The span is a position of the line's own text (see fill/scan_line.h). The
// report, when given, goes to the run's observer (if any) with the placeholder's place and the
// text as written.
FillStatus place_text(FillContext& fill, Span span, std::string_view text, bool encode,
                      PlaceholderReport* told = nullptr);

}  // namespace ruvo

// Column tables: one row per element of one name, one labelled cell per listed attribute.
//
// A TABLE_COLUMNS section names the table on its header, "[TABLE_COLUMNS]<<Detalle>>", and
// lists one field per line, "element:attribute" or "element:attribute,label" (the label is all
// after the first ','). The element on the last field line decides which elements make rows.
// A field keeps its last value from one element to the next when an element lacks it.
#pragma once

#include <string_view>

#include "base/run_environment.h"
#include "config/comma_insert.h"
#include "tables/table_result.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "xml/xpath_context.h"

namespace ruvo {

// Replaces the template's cursor line, which holds the placeholder named name, by the table's
// lines. On a definition error (a field line without ':' before its first ',', or no field line
// at all) logs it and leaves the template as it was; the same when memory runs out while the
// definition is read. Leaves the context node on the last element that made a row. Lines that
// are final go on to the output at once when there is one (a streamed output). The run gives
// the output mode, the log and the observer.
[[nodiscard]] TableResult expand_column_table(const char* name, LineList* template_lines,
                                              OutputFile* output, XPathContext& context,
                                              LineList* section, const CommaInsert& comma,
                                              const RunEnvironment& run);

// The element a field line names, quotes removed, as the table reads it; false for a line the
// table would refuse as a definition error.
bool column_field_element(std::string_view line, std::string_view& element);

}  // namespace ruvo

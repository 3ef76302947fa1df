// Master tables: nested rows, level by level.
//
// The first level finds its elements through its path (or //name) and visits the first one
// found and its same-named following siblings. Every further level searches next to or inside
// the element whose row was just written: among the children of its parent when its level
// number equals the number of the level before it (siblings), else among its children. Rows of
// deeper levels follow the row of the element they belong to. A row that holds more cells than
// the row width is broken into several rows. With -preview N, only the first N and last N
// elements of each level under each parent are written, with everything under them.
#pragma once

#include "base/run_environment.h"
#include "config/comma_insert.h"
#include "tables/table_result.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "xml/xpath_context.h"

namespace ruvo {

// Replaces the template's cursor line, which holds the placeholder named name, by the table's
// lines. When memory runs out while the definition is read, the template stays as it was and
// the result says so. Leaves the context node on the last first-level element written. Lines
// that are final go on to the output at once when there is one (a streamed output). The
// environment gives the output mode, the preview and the observer.
[[nodiscard]] TableResult expand_master_table(XPathContext& context, LineList* template_lines,
                                              OutputFile* output, LineList* section,
                                              const CommaInsert& comma, const char* name,
                                              const RunEnvironment& environment);

}  // namespace ruvo

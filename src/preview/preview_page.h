// ruvo-preview's page: one self-contained HTML page (UTF-8, inline CSS, no script, nothing
// fetched) that draws an explained run (check/explained_run.h) as the renderer receives it.
//
// Text lines are drawn as text, each value in them a span whose title tells where it came from;
// every table is an HTML table whose header cells are the column labels as configured, one row
// per row the output carries, with its row text; master levels nest under the row they belong
// to, and "C" levels are labelled blocks. The findings are counted at the top and marked where
// they stand; a details list gives every single value's origin; the output's own lines follow,
// each drawn row linking to them. The page is drawn from the output lines and the observer's
// records only: the template is not read a second time.
#pragma once

#include <cstddef>

#include "check/explained_run.h"
#include "check/findings.h"

namespace ruvo::preview {

struct PageOptions {
  bool all_rows = false;        // draw every row of every table
  std::size_t edge_rows = 200;  // otherwise the first and last rows of each table drawn
};

// Appends the page to html.
void write_preview_page(const check::ExplainedRun& run, const PageOptions& options,
                        check::Text& html);

}  // namespace ruvo::preview

// The placeholder scanner: fills the template in place.
//
// Each line is searched for its first "<<" and the first ">>" after it; what lies between is
// the placeholder's content, classified in this order:
//   {expression}                         XPath placeholder
//   %NAME%                               environment placeholder
//   element:attribute                    when the line's first colon outside quotes, counted from
//                                        the "<<" on, stands before the ">>"
//   the name of a TABLE_COLUMNS section  column table
//   the name of a MASTER_TABLE section   master table
//   anything else                        bare element placeholder
// After every replacement the line is searched again from its first character, so a value that
// holds a placeholder is filled in its turn; after a table, the scan goes on from the table's
// last line. A line is left when it holds no "<<", or its first "<<" has no ">>" after it.
#pragma once

#include <libxml/tree.h>

#include "base/run_environment.h"
#include "config/configuration.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "xml/input_document.h"

namespace ruvo {

// Placeholders handled on one line before the rest of that line is left as it is: a value that
// brings back its own placeholder would otherwise be filled without end.
inline constexpr int kMaxPlaceholdersPerLine = 1000;

enum class FillOutcome {
  Filled,  // every line was scanned
  Failed,  // a bare element could not be placed, or memory ran out; the reason is logged
};

// Fills the template in place with the configuration's sections. The template keeps every
// replacement made either way. Lines that are final go on to the output at once when one is
// given (a streamed output); without one every line stays in the template. The run gives the
// settings, the log and the observer. The notes taken while the document was read, when
// given, spare a walk over its tree.
[[nodiscard]] FillOutcome fill_template(xmlDoc* document, LineList* template_lines,
                                        const Configuration& configuration,
                                        const RunEnvironment& run, OutputFile* output,
                                        const DocumentNotes* notes = nullptr);

}  // namespace ruvo

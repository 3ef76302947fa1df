#pragma once

namespace ruvo {

// What a table expansion did with the placeholder's line.
enum class TableResult {
  Expanded,     // the line is gone; the cursor is where the table's lines end
  NotExpanded,  // the template is as it was, the cursor still on the placeholder's line
};

}  // namespace ruvo

#include "tables/master_table.h"

#include <cstring>

#include "config/comma_insert.h"
#include "config/thousands.h"
#include "tables/cell_loss.h"
#include "tables/marker_guard.h"
#include "tables/master_definition.h"
#include "tables/table_output.h"
#include "text/tracked_memory.h"
#include "xml/field_expression.h"
#include "xml/latin1.h"
#include "xml/prefetch.h"
#include "xml/qualify.h"
#include "xml/run_text.h"

namespace ruvo {

namespace {

using LevelNode = TrackedList<MasterLevel>::Node;
using FieldNode = TrackedList<MasterField>::Node;

// What every level of one table shares.
struct MasterRun {
  XPathContext& context;
  TableOutput& out;
  const CommaInsert& comma;
  PreviewSetting preview;
  std::string_view row_text;
  std::int32_t row_width;
  TextBufferPtr scratch;  // the cell value being placed, its block reused from cell to cell
  TextBufferPtr grouped;  // the same value with thousands separators
  FillObserver* observer = nullptr;  // told of every row and cell, when there is one
  CellLoss loss;  // what the last cell's text lost to Latin-1 (found for an observer)
};

// A level's name is an element's local name, or with a colon its qualified name (prefix:local,
// as the document writes it): a local name never holds a colon.
bool has_name(const xmlNode* node, const TextBuffer& name) {
  if (node->type != XML_ELEMENT_NODE || node->name == nullptr) {
    return false;
  }
  const std::string_view local = reinterpret_cast<const char*>(node->name);
  const std::string_view wanted = name.data();  // up to a NUL, as names are compared
  const std::size_t colon = wanted.find(':');
  if (colon == std::string_view::npos) {
    return local == wanted;
  }
  const xmlNs* ns = node->ns;
  return ns != nullptr && ns->prefix != nullptr &&
         wanted.substr(0, colon) == reinterpret_cast<const char*>(ns->prefix) &&
         wanted.substr(colon + 1) == local;
}

// The name a level or a field is compared with the document's names by: its UTF-8 form when it
// is not ASCII (the configuration is in the run's encoding).
const TextBuffer& document_name(const TextBufferPtr& name, const TextBufferPtr& utf8_name) {
  return utf8_name ? *utf8_name : *name;
}

bool spell_as_document(const TextCodec& codec, const TextBufferPtr& name,
                       TextBufferPtr& utf8_name) {
  if (is_ascii(name->view())) {
    return true;
  }
  utf8_name = text_buffer_clone(*name);
  return run_text_to_utf8(codec, utf8_name);
}

// Gives every level and field whose name is not ASCII its UTF-8 form; false when memory is short.
bool spell_names_as_document(const TextCodec& codec, MasterChain& chain) {
  for (auto* level = chain.levels.first(); level != nullptr; level = level->next) {
    if (!spell_as_document(codec, level->value.name, level->value.utf8_name)) {
      return false;
    }
    for (auto* field = level->value.fields.first(); field != nullptr; field = field->next) {
      if (!spell_as_document(codec, field->value.name, field->value.utf8_name)) {
        return false;
      }
    }
  }
  return true;
}

// The node itself or its first following sibling with the level's name. A namespace node has
// no siblings to follow (its record is not shaped like an element's).
xmlNode* first_named_from(xmlNode* node, const TextBuffer& name) {
  while (node != nullptr && node->type != XML_NAMESPACE_DECL && !has_name(node, name)) {
    node = node->next;
  }
  return node != nullptr && node->type == XML_NAMESPACE_DECL ? nullptr : node;
}

xmlNode* next_named(xmlNode* node, const TextBuffer& name) {
  return first_named_from(node->next, name);
}

// The first node of the first level, found through its path or //name.
xmlNode* find_in_document(MasterRun& run, const MasterLevel& level) {
  TextBufferPtr path;
  if (level.path->length() > 0) {
    path = text_buffer_clone(*level.path);
  } else {
    path = text_buffer_from("//");
    if (path && !text_buffer_append_buffer(path, level.name.get())) {
      path.reset();
    }
  }
  if (!path) {
    return nullptr;
  }
  TextBufferPtr qualified = qualify_path_buffer(*path, run.context.default_namespace_bound);
  if (!qualified || !run_text_to_utf8(run.context.text_codec(), qualified)) {
    return nullptr;
  }
  if (run.observer != nullptr) {
    run.observer->table_level(0, qualified->view());
  }
  // Only the first node is wanted: evaluate_first finds it without building the whole set
  // where it can. A namespace node (kept alive by the evaluation) ends the walk at once.
  const Evaluation found = evaluate_first(run.context, qualified->data());
  return found.node != nullptr
             ? first_named_from(found.node, document_name(level.name, level.utf8_name))
             : nullptr;
}

// Whether the node's qualified name and the field's name are listed in COMMA_INSERT. Nodes of
// one level share their name, so the answer is kept until a node of another namespace comes.
bool is_grouped(MasterRun& run, const xmlNode* node, MasterField& field) {
  if (field.grouped_known && field.grouped_for == node->ns) {
    return field.grouped;
  }
  // The document's own name against each entry as UTF-8: a name beyond the configuration's
  // encoding is matched by no entry written with '?'.
  TextBufferPtr node_name = qualified_node_name(node);
  if (!node_name) {
    return false;
  }
  field.comma_entry =
      run.comma.pair_entry_utf8(run.context.text_codec(), node_name->view(),
                                document_name(field.name, field.utf8_name).view(), run.observer);
  field.grouped = field.comma_entry != nullptr;
  field.grouped_for = node->ns;
  field.grouped_known = true;
  return field.grouped;
}

bool is_expression_field(const MasterField& field) {
  const std::string_view name = field.name->view();
  return name.size() >= 2 && name.front() == '{' && name.back() == '}';
}

// {expression} evaluated from the node: the text of the first node it selects (none for no node
// or a result of another type), grouped when COMMA_INSERT lists the whole text.
const TextBuffer* expression_cell_text(MasterRun& run, xmlNode* node, MasterField& field) {
  const std::string_view whole = field.name->view();
  if (!field.compile_tried) {
    field.compile_tried = true;
    field.compiled = compile_braced_expression(run.context, whole);
  }
  if (!field.compiled) {
    return nullptr;
  }
  XmlCharPtr content = first_node_content(run.context, field.compiled.get(), node);
  if (!content || !output_assign(run.context.text_codec(), run.scratch, content.get())) {
    return nullptr;
  }
  if (run.observer != nullptr) {
    run.loss.note(run.context.text_codec(), content.get());
  }
  field.comma_entry = run.comma.text_entry(whole, run.observer);
  if (field.comma_entry != nullptr) {
    return format_thousands_into(run.scratch->data(), run.grouped, run.context.text_codec())
               ? run.grouped.get()
               : nullptr;
  }
  return run.scratch.get();
}

// The node's own attribute of the field's name, as the text to place (in the run's scratch
// buffer, or its grouped buffer); none when the node has no such attribute.
const TextBuffer* cell_text(MasterRun& run, xmlNode* node, MasterField& field) {
  if (field.name->length() == 0) {
    return nullptr;
  }
  if (is_expression_field(field)) {
    return expression_cell_text(run, node, field);
  }
  const TextBuffer& name = document_name(field.name, field.utf8_name);
  for (const xmlAttr* attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (std::strcmp(reinterpret_cast<const char*>(attribute->name), name.data()) != 0) {
      continue;
    }
    const xmlNode* text = attribute->children;
    const xmlChar* content =
        text != nullptr && text->content != nullptr ? text->content : BAD_CAST "";
    if (!output_assign(run.context.text_codec(), run.scratch, content)) {
      return nullptr;
    }
    if (run.observer != nullptr) {
      run.loss.note(run.context.text_codec(), content);
    }
    if (is_grouped(run, node, field)) {
      return format_thousands_into(run.scratch->data(), run.grouped, run.context.text_codec())
                 ? run.grouped.get()
                 : nullptr;
    }
    return run.scratch.get();
  }
  return nullptr;
}

void tell_cell(MasterRun& run, std::size_t depth, std::size_t index, const MasterField& field,
               const TextBuffer* text, const TextBuffer* grouped) {
  CellReport cell;
  cell.level = depth;
  cell.field = index;
  cell.source = text != nullptr ? CellSource::Read : CellSource::Missing;
  if (text != nullptr) {
    cell.grouped = text == grouped;
    cell.lossy = run.loss.lossy;
    cell.text = run.loss.lost_text();
    cell.line_ends = holds_line_end(text->view());
    if (cell.grouped && run.scratch) {
      cell.value = text->view();
      cell.ungrouped = run.scratch->view();
      cell.comma_entry = field.comma_entry;
    }
  }
  run.observer->table_cell(cell);
  run.loss = CellLoss();
}

void write_node_rows(MasterRun& run, MasterLevel& level, xmlNode* node, std::size_t depth) {
  const bool c_flag = level.c_flag;
  bool opened = false;
  std::int32_t cells = 0;
  xmlDoc* document = run.context.get()->doc;
  if (run.observer != nullptr) {
    run.observer->table_row(depth);
  }
  std::size_t index = 0;
  for (FieldNode* f = level.fields.first(); f != nullptr; f = f->next, ++index) {
    MasterField& field = f->value;
    const TextBuffer* text = cell_text(run, node, field);
    if (run.observer != nullptr) {
      tell_cell(run, depth, index, field, text, run.grouped.get());
    }
    if (!opened) {
      open_table_row(run.out, c_flag, field.label.get(), run.row_text);
      opened = true;
    }
    write_table_cell(run.out, document, c_flag, field.label.get(), text);
    ++cells;
    if (run.row_width > 0 && cells == run.row_width && f->next != nullptr) {
      cells = 0;
      close_table_row(run.out, c_flag);
      open_table_row(run.out, c_flag, field.label.get(), run.row_text);
    }
  }
  if (opened) {
    close_table_row(run.out, c_flag);
  }
}

// Where the expansion stands in one level: the level, the element whose rows were written last,
// the element considered last (the next one is found from it only when asked for, so that its
// record is fetched from memory while the rows are written) with its 1-based index, and how
// many the level has (counted only with preview).
struct LevelWalk {
  LevelNode* level_node;
  xmlNode* node;
  xmlNode* considered;  // none before the first element is considered
  xmlNode* first;
  std::int64_t index;
  std::int64_t total;
};

// Starts the walk of a level on its first element: found in the document for the first level,
// else from the context node, the element whose row was just written: among the children of its
// parent when the level's number equals previous_level (siblings), else among its children.
// False when the level has no element there.
bool start_level(MasterRun& run, LevelWalk& walk, LevelNode* level_node, bool first,
                 std::int32_t previous_level) {
  MasterLevel& level = level_node->value;
  const xmlNode* context_node = run.context.get()->node;
  xmlNode* node = nullptr;
  if (first) {
    node = find_in_document(run, level);
  } else if (level.level == previous_level) {
    if (context_node == nullptr || context_node->parent == nullptr) {
      return false;
    }
    node = first_named_from(context_node->parent->children,
                            document_name(level.name, level.utf8_name));
  } else {
    if (context_node == nullptr) {
      return false;
    }
    node = first_named_from(context_node->children, document_name(level.name, level.utf8_name));
  }
  if (node == nullptr) {
    return false;
  }
  walk = LevelWalk{level_node, nullptr, nullptr, node, 1, 0};
  if (run.preview.on) {
    for (xmlNode* n = node; n != nullptr;
         n = next_named(n, document_name(level.name, level.utf8_name))) {
      ++walk.total;
    }
  }
  return true;
}

// The level's next element to write, or none when the level is done. With preview only the
// first N and the last N elements are written; N <= 0 writes none.
xmlNode* next_shown(LevelWalk& walk, const PreviewSetting preview) {
  const TextBuffer& name =
      document_name(walk.level_node->value.name, walk.level_node->value.utf8_name);
  for (;;) {
    xmlNode* node = walk.considered == nullptr ? walk.first : next_named(walk.considered, name);
    if (node == nullptr) {
      return nullptr;
    }
    walk.considered = node;
    const std::int64_t index = walk.index++;
    if (preview.on && preview.rows < index && index <= walk.total - preview.rows) {
      continue;
    }
    // The walk goes on from this element's next sibling once its rows are written.
    __builtin_prefetch(node->next);
    walk.node = node;
    return node;
  }
}

// Writes the rows of every level: under each element's rows, those of the levels after it.
// The walk keeps one LevelWalk per level in walks (as many as there are levels) instead of
// recursing, so a chain of any length costs no stack. Leaves the context node on the last
// first-level element written.
void expand_master_levels(MasterRun& run, LevelNode* first_level, LevelWalk* walks) {
  if (first_level == nullptr || !start_level(run, walks[0], first_level, true, 0)) {
    return;
  }
  std::size_t depth = 0;
  for (;;) {
    LevelWalk& walk = walks[depth];
    xmlNode* node = next_shown(walk, run.preview);
    if (node == nullptr) {
      if (depth == 0) {
        return;
      }
      --depth;
      set_context_node(run.context, walks[depth].node);
      continue;
    }
    MasterLevel& level = walk.level_node->value;
    set_context_node(run.context, node);
    write_node_rows(run, level, node, depth);
    prefetch_element_after_next(node);
    LevelNode* below = walk.level_node->next;
    if (below != nullptr && start_level(run, walks[depth + 1], below, false, level.level)) {
      ++depth;
    }
  }
}

}  // namespace

TableResult expand_master_table(XPathContext& context, LineList* template_lines, OutputFile* output,
                                LineList* section, const CommaInsert& comma, const char* name,
                                const RunEnvironment& environment) {
  const Line* line = line_list_current(template_lines);
  if (line == nullptr) {
    return TableResult::NotExpanded;
  }
  RowLayout layout = take_row_layout(line->view(), name);
  Tracked<MasterChain> chain = read_master_definitions(section);
  if (!layout.row_text || !chain || !spell_names_as_document(context.text_codec(), *chain)) {
    return TableResult::NotExpanded;
  }
  std::size_t levels = 0;
  for (const LevelNode* level = chain->levels.first(); level != nullptr; level = level->next) {
    ++levels;
  }
  TrackedArray<LevelWalk> walks(levels);
  if (walks.empty()) {
    return TableResult::NotExpanded;
  }
  TableOutput out = begin_table_output(template_lines, output, environment.settings.output_mode);
  out.codec = context.codec;
  MasterRun run{context,      out, comma, environment.settings.preview, layout.row_text->view(),
                layout.width, {},  {},    environment.observer,         {}};
  if (run.observer != nullptr) {
    std::size_t index = 0;
    for (const LevelNode* level = chain->levels.first(); level != nullptr; level = level->next) {
      if (index++ > 0) {
        run.observer->table_level(index - 1, level->value.name->view());
      }
    }
  }
  expand_master_levels(run, chain->levels.first(), walks.get());
  return TableResult::Expanded;
}

}  // namespace ruvo

#include "tables/column_table.h"

#include <cstring>
#include <string_view>

#include "base/log_messages.h"
#include "base/run_log.h"
#include "config/comma_insert.h"
#include "config/thousands.h"
#include "tables/cell_loss.h"
#include "tables/marker_guard.h"
#include "tables/table_output.h"
#include "text/tracked_list.h"
#include "xml/descendant_walk.h"
#include "xml/expression_shape.h"
#include "xml/field_expression.h"
#include "xml/prefetch.h"
#include "xml/qualify.h"
#include "xml/run_text.h"

namespace ruvo {

namespace {

struct ColumnField {
  TextBufferPtr attribute;  // the attribute's name, or {expression} with its braces
  TextBufferPtr label;      // none when the field line has no ','
  TextBufferPtr value;      // none until an element had the attribute
  bool expression = false;  // the value is the text of what {expression} selects
  // How the value is read, decided once per table (see prepare_field).
  bool plain_name = false;
  XmlXPathCompExprPtr compiled;
  bool grouped = false;  // listed in COMMA_INSERT with the table's element, or as {expression}
  const Line* comma_entry = nullptr;  // the line that lists it
};

// A field line cut into its parts, as views into the line.
struct FieldLine {
  std::string_view element;
  std::string_view attribute;
  std::string_view label;
  bool has_label = false;
  bool expression = false;
};

bool is_quote(char c) {
  return c == '\'' || c == '"';
}

// After the element's colon: {expression} up to the first '}' followed by ',' or the line's end,
// else an attribute name up to the first ','. Then the label, after that ','.
void read_field_rest(std::string_view rest, FieldLine& field) {
  if (!rest.empty() && rest.front() == '{') {
    for (std::size_t close = rest.find('}'); close != std::string_view::npos;
         close = rest.find('}', close + 1)) {
      if (close + 1 == rest.size() || rest[close + 1] == ',') {
        field.attribute = rest.substr(0, close + 1);
        field.expression = true;
        field.has_label = close + 1 < rest.size();
        field.label = field.has_label ? rest.substr(close + 2) : std::string_view();
        return;
      }
    }
  }
  const std::size_t comma = rest.find(',');
  field.attribute = rest.substr(0, comma);
  field.has_label = comma != std::string_view::npos;
  field.label = field.has_label ? rest.substr(comma + 1) : std::string_view();
}

// "element:attribute[,label]", where a quoted element ('cac:InvoiceLine':...) runs to its
// closing quote and may hold a colon, and the attribute may be {expression}. False for a line
// whose text before its first ',' holds no ':'. Both new readings only take text that would
// otherwise name no element or attribute at all: an element beginning with a quote is no
// XPath name, nor an attribute named "{...".
bool read_field_line(std::string_view text, FieldLine& field) {
  if (text.size() > 2 && is_quote(text.front())) {
    const std::size_t close = text.find(text.front(), 1);
    if (close != std::string_view::npos && close + 1 < text.size() && text[close + 1] == ':') {
      field.element = text.substr(1, close - 1);
      read_field_rest(text.substr(close + 2), field);
      return true;
    }
  }
  const std::size_t colon = text.substr(0, text.find(',')).find(':');
  if (colon == std::string_view::npos) {
    return false;
  }
  field.element = text.substr(0, colon);
  read_field_rest(text.substr(colon + 1), field);
  return true;
}

using ColumnFields = TrackedList<ColumnField>;

enum class ReadOutcome { Read, DefinitionError, OutOfMemory };

// Reads the field lines after the header into fields; element receives the last line's
// element name.
// On a definition error, faulty_line is the section's line at fault, counted from 1 after the
// header, or 0 when there is no field line.
ReadOutcome read_column_fields(LineList* section, ColumnFields& fields, TextBufferPtr& element,
                               int& faulty_line) {
  line_list_rewind(section);
  bool any = false;
  faulty_line = 0;
  for (const Line* line = line_list_next(section); line != nullptr;
       line = line_list_next(section)) {
    any = true;
    ++faulty_line;
    FieldLine parts;
    if (!read_field_line(line->view(), parts)) {
      return ReadOutcome::DefinitionError;
    }
    ColumnField field;
    element = text_buffer_from(parts.element);
    field.attribute = text_buffer_from(parts.attribute);
    field.expression = parts.expression;
    if (parts.has_label) {
      field.label = text_buffer_from(parts.label);
      if (!field.label) {
        return ReadOutcome::OutOfMemory;
      }
    }
    if (!element || !field.attribute || fields.append(std::move(field)) == nullptr) {
      return ReadOutcome::OutOfMemory;
    }
  }
  // A section with its header alone names no element to make rows of.
  faulty_line = 0;
  return any ? ReadOutcome::Read : ReadOutcome::DefinitionError;
}

// "~[ " followed by what stands after the first ">>" of the placeholder's line.
TextBufferPtr column_row_text(const Line* line) {
  if (line == nullptr) {
    return TextBufferPtr();
  }
  const std::string_view text = line->view();
  const std::size_t close = text.find(">>");
  TextBufferPtr row = text_buffer_from("~[ ");
  if (row && close != std::string_view::npos) {
    const std::string_view following = text.substr(close + 2);
    if (!text_buffer_append_bytes(row, following.data(), following.size())) {
      row.reset();
    }
  }
  return row;
}

// {expression} is compiled once; COMMA_INSERT lists it by its whole text, braces included.
void prepare_expression_field(ColumnField& field, XPathContext& context, const CommaInsert& comma,
                              FillObserver* observer) {
  field.comma_entry = comma.text_entry(field.attribute->view(), observer);
  field.grouped = field.comma_entry != nullptr;
  field.compiled = compile_braced_expression(context, field.attribute->view());
}

// The text of the first node the field's expression selects from the row's element, or none:
// nothing is carried from the row before.
CellSource read_expression_value(XPathContext& context, ColumnField& field, TextBufferPtr& scratch,
                                 CellLoss* loss) {
  field.value.reset();
  if (!field.compiled) {
    return CellSource::Missing;
  }
  XmlCharPtr content = first_node_content(context, field.compiled.get(), context.get()->node);
  if (!content) {
    return CellSource::Missing;
  }
  if (loss != nullptr) {
    loss->note(context.text_codec(), content.get());
  }
  if (!field.grouped) {
    static_cast<void>(output_assign(context.text_codec(), field.value, content.get()));
    return CellSource::Read;
  }
  if (output_assign(context.text_codec(), scratch, content.get())) {
    static_cast<void>(format_thousands_into(scratch->data(), field.value, context.text_codec()));
  }
  return CellSource::Read;
}

// The value of every field is ./@name evaluated on each element. For a plain name that is the
// element's own attribute of that name in no namespace, read straight from the node; any other
// name is compiled once and evaluated per element.
void prepare_field(ColumnField& field, XPathContext& context, const TextBuffer& element,
                   const CommaInsert& comma, FillObserver* observer) {
  if (field.expression) {
    prepare_expression_field(field, context, comma, observer);
    return;
  }
  field.comma_entry = comma.pair_entry(element.view(), field.attribute->view(), observer);
  field.grouped = field.comma_entry != nullptr;
  // ./@name with a plain name selects exactly the attribute of that name without prefix.
  field.plain_name = is_plain_ncname(field.attribute->view());
  if (!field.plain_name) {
    TextBufferPtr expression = text_buffer_from("./@");
    if (expression && text_buffer_append_buffer(expression, field.attribute.get()) &&
        run_text_to_utf8(context.text_codec(), expression)) {
      field.compiled.reset(
          xmlXPathCtxtCompile(context.get(), reinterpret_cast<const xmlChar*>(expression->data())));
    }
  }
}

// The attribute node ./@name selects on the current node, or none.
xmlNode* find_field_attribute(XPathContext& context, const ColumnField& field,
                              XmlXPathObjectPtr& result) {
  xmlNode* node = context.get()->node;
  if (field.plain_name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE) {
      return nullptr;
    }
    const auto* name = reinterpret_cast<const xmlChar*>(field.attribute->data());
    for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
      if ((attribute->ns == nullptr || attribute->ns->prefix == nullptr) &&
          xmlStrEqual(attribute->name, name)) {
        return reinterpret_cast<xmlNode*>(attribute);
      }
    }
    return nullptr;
  }
  if (!field.compiled) {
    return nullptr;
  }
  result.reset(xmlXPathCompiledEval(field.compiled.get(), context.get()));
  if (!result || result->nodesetval == nullptr || result->nodesetval->nodeNr == 0) {
    return nullptr;
  }
  return result->nodesetval->nodeTab[0];
}

// The attribute's text: its single text child as it stands, else what libxml2 puts together.
const xmlChar* attribute_text(xmlNode* attribute, XmlCharPtr& assembled) {
  const xmlNode* child = attribute->children;
  if (attribute->type == XML_ATTRIBUTE_NODE && child != nullptr && child->next == nullptr &&
      child->type == XML_TEXT_NODE && child->content != nullptr) {
    return child->content;
  }
  assembled.reset(xmlNodeGetContent(attribute));
  return assembled.get();
}

// Replaces the field's value with what the current node holds; the value stays when the node
// lacks the attribute (or memory is short). A grouped value passes through scratch. Says where
// the cell's value comes from; loss, when given (for an observer), what the conversion to
// Latin-1 lost.
CellSource read_field_value(XPathContext& context, ColumnField& field, TextBufferPtr& scratch,
                            CellLoss* loss) {
  if (field.expression) {
    return read_expression_value(context, field, scratch, loss);
  }
  XmlXPathObjectPtr result;
  xmlNode* attribute = find_field_attribute(context, field, result);
  if (attribute == nullptr) {
    return field.value ? CellSource::Carried : CellSource::Missing;
  }
  XmlCharPtr assembled;
  const xmlChar* content = attribute_text(attribute, assembled);
  if (loss != nullptr) {
    loss->note(context.text_codec(), content);
  }
  if (!field.grouped) {
    static_cast<void>(output_assign(context.text_codec(), field.value, content));
    return CellSource::Read;
  }
  if (output_assign(context.text_codec(), scratch, content)) {
    static_cast<void>(format_thousands_into(scratch->data(), field.value, context.text_codec()));
  }
  return CellSource::Read;
}

// Tells the observer what the field's cell holds; a grouped value read just now has its
// ungrouped text in scratch.
void tell_cell(FillObserver& observer, std::size_t index, CellSource source,
               const ColumnField& field, const TextBufferPtr& scratch, const CellLoss& loss) {
  CellReport cell;
  cell.field = index;
  cell.source = source;
  cell.grouped = field.grouped;
  cell.lossy = loss.lossy;
  cell.text = loss.lost_text();
  const std::string_view value = field.value ? field.value->view() : std::string_view();
  cell.line_ends = holds_line_end(value);
  if (source == CellSource::Read && field.grouped && scratch) {
    cell.value = value;
    cell.ungrouped = scratch->view();
    cell.comma_entry = field.comma_entry;
  }
  observer.table_cell(cell);
}

void write_row(XPathContext& context, TableOutput& out, ColumnFields& fields,
               const TextBuffer& row_text, TextBufferPtr& scratch, FillObserver* observer) {
  if (observer != nullptr) {
    observer->table_row(0);
  }
  std::size_t index = 0;
  for (auto* f = fields.first(); f != nullptr; f = f->next, ++index) {
    CellLoss loss;
    const CellSource source =
        read_field_value(context, f->value, scratch, observer != nullptr ? &loss : nullptr);
    if (observer != nullptr) {
      tell_cell(*observer, index, source, f->value, scratch, loss);
    }
  }
  open_table_row(out, false, nullptr, row_text.view());
  xmlDoc* document = context.get()->doc;
  for (auto* f = fields.first(); f != nullptr; f = f->next) {
    write_table_cell(out, document, false, f->value.label.get(), f->value.value.get());
  }
  close_table_row(out, false);
}

void write_column_rows(XPathContext& context, const TextBuffer& element, ColumnFields& fields,
                       const TextBuffer& row_text, TableOutput& out, const CommaInsert& comma,
                       FillObserver* observer) {
  TextBufferPtr path = text_buffer_from("//");
  if (!path || !text_buffer_append_buffer(path, &element)) {
    return;
  }
  TextBufferPtr qualified = qualify_path_buffer(*path, context.default_namespace_bound);
  if (!run_text_to_utf8(context.text_codec(), qualified ? qualified : path)) {
    return;
  }
  const TextBuffer& expression = qualified ? *qualified : *path;
  if (observer != nullptr) {
    observer->table_level(0, expression.view());
  }
  xmlXPathContext* handle = context.get();
  // //name selects the elements of that name in document order: they are visited by a walk
  // instead of a node-set when the name is a plain one.
  DescendantShape shape;
  const bool walked = read_descendant_shape(handle, expression.view(), shape) && shape.is_plain() &&
                      shape.position == 0 && !shape.has_attribute;
  XmlXPathObjectPtr result;
  if (!walked) {
    result.reset(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.data()), handle));
    if (!result || result->nodesetval == nullptr) {
      return;
    }
  }
  for (auto* f = fields.first(); f != nullptr; f = f->next) {
    prepare_field(f->value, context, element, comma, observer);
  }
  TextBufferPtr scratch;
  if (walked) {
    for (xmlNode* node = first_descendant(handle->doc, shape.element); node != nullptr;
         node = next_descendant(node, shape.element)) {
      set_context_node(context, node);
      write_row(context, out, fields, row_text, scratch, observer);
      prefetch_element_after_next(node);
    }
    return;
  }
  for_each_as_context_node(context, *result->nodesetval,
                           [&] { write_row(context, out, fields, row_text, scratch, observer); });
}

}  // namespace

bool column_field_element(std::string_view line, std::string_view& element) {
  FieldLine parts;
  if (!read_field_line(line, parts)) {
    return false;
  }
  element = parts.element;
  return true;
}

TableResult expand_column_table(const char* name, LineList* template_lines, OutputFile* output,
                                XPathContext& context, LineList* section, const CommaInsert& comma,
                                const RunEnvironment& run) {
  ColumnFields fields;
  TextBufferPtr element;
  int faulty_line = 0;
  switch (read_column_fields(section, fields, element, faulty_line)) {
    case ReadOutcome::Read:
      break;
    case ReadOutcome::DefinitionError:
      if (run.observer != nullptr) {
        run.observer->table_definition_error(faulty_line);
      }
      log_line(run.log, format_message(log_messages::kColumnDefinitionFaulty, name));
      return TableResult::NotExpanded;
    case ReadOutcome::OutOfMemory:
      return TableResult::NotExpanded;
  }
  TextBufferPtr row_text = column_row_text(line_list_current(template_lines));
  if (!row_text) {
    return TableResult::NotExpanded;
  }
  TableOutput out = begin_table_output(template_lines, output, run.settings.output_mode);
  out.codec = context.codec;
  write_column_rows(context, *element, fields, *row_text, out, comma, run.observer);
  return TableResult::Expanded;
}

}  // namespace ruvo

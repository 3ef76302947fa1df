// Reading the input: the tree is the one xmlReadFile builds, and the notes taken on the way
// give the same namespace bindings, and the same elements by name, as walks over the whole
// tree.
#include "xml/input_document.h"

#include <libxml/hash.h>
#include <libxml/parser.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "xml/descendant_walk.h"
#include "xml/xpath_context.h"

namespace ruvo {
namespace {

namespace fs = std::filesystem;
using Bindings = std::map<std::string, std::string>;

std::string serialized(xmlDoc* document) {
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpMemory(document, &bytes, &size);
  XmlCharPtr owned(bytes);
  return bytes != nullptr ? std::string(reinterpret_cast<const char*>(bytes), size) : "";
}

// Each local name's elements, in the order a walk of the tree meets them.
std::map<std::string, std::vector<xmlNode*>> walked_by_name(xmlDoc* document) {
  std::map<std::string, std::vector<xmlNode*>> lists;
  for (xmlNode* node = document->children; node != nullptr; node = next_in_document_order(node)) {
    if (node->type == XML_ELEMENT_NODE) {
      lists[reinterpret_cast<const char*>(node->name)].push_back(node);
    }
  }
  return lists;
}

// Every prefix the context binds, with its URI.
Bindings bindings_of(const XPathContext& context) {
  Bindings bindings;
  xmlHashScan(
      context.get()->nsHash,
      [](void* uri, void* out, const xmlChar* prefix) {
        (*static_cast<Bindings*>(out))[reinterpret_cast<const char*>(prefix)] =
            static_cast<const char*>(uri);
      },
      &bindings);
  return bindings;
}

class InputDocumentTest : public test::CleanStateTest {
 protected:
  void SetUp() override {
    test::CleanStateTest::SetUp();
    silence_libxml2_messages();
  }

  // Reads the file both ways and compares trees and bindings; whether the noted list was
  // complete.
  bool read_like_libxml2(const std::string& path) {
    DocumentNotes notes;
    XmlDocPtr noted = read_input_document(path.c_str(), notes);
    XmlDocPtr plain(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET));
    EXPECT_EQ(noted != nullptr, plain != nullptr) << path;
    if (!noted || !plain) {
      return notes.complete;
    }
    EXPECT_EQ(serialized(noted.get()), serialized(plain.get())) << path;
    const XPathContext walked = make_xpath_context(plain.get());
    const XPathContext listed = make_xpath_context(noted.get(), &notes);
    EXPECT_EQ(bindings_of(listed), bindings_of(walked)) << path;
    EXPECT_EQ(listed.default_namespace_bound, walked.default_namespace_bound) << path;
    if (notes.complete) {
      for (const auto& [name, walked_list] : walked_by_name(noted.get())) {
        const ElementsByName::Nodes* noted_list = notes.by_name.find(name);
        const std::vector<xmlNode*> listed_nodes =
            noted_list != nullptr ? std::vector<xmlNode*>(noted_list->begin(), noted_list->end())
                                  : std::vector<xmlNode*>();
        EXPECT_EQ(listed_nodes, walked_list) << path << ": " << name;
      }
    }
    return notes.complete;
  }

  bool read_text(const std::string& xml) {
    const std::string path = dir_.file("doc.xml");
    test::write_file(path, xml);
    return read_like_libxml2(path);
  }

  test::TempDir dir_;
};

TEST_F(InputDocumentTest, DeclarationsAnywhereGiveTheBindingsOfTheWholeWalk) {
  const char* documents[] = {
      "<r/>", "<!-- first --><r xmlns='urn:d' xmlns:p='urn:p'><a/></r>",
      // Prefixes bound again deeper, then the outer scope resumes after the subtree.
      "<r xmlns:p='urn:1'><a xmlns:p='urn:2'><b/></a><c/></r>",
      "<r xmlns:p='urn:1'><a xmlns:p='urn:2'><b/></a></r>",
      "<r xmlns:p='urn:1'><a xmlns:p='urn:2'/>text</r>",
      // Adjacent declaring siblings, nested declaring elements ending together.
      "<r><a xmlns:p='urn:a'/><b xmlns:p='urn:b'/></r>",
      "<r xmlns='urn:d'><a xmlns:q='urn:q'><b xmlns:p='urn:p'><c xmlns='urn:c'/></b></a><z/></r>",
      "<r xmlns='urn:d'><a xmlns:q='urn:q'><b xmlns:p='urn:p'><c xmlns='urn:c'/></b></a></r>",
      // The default namespace switched off below, and a declaring last element.
      "<r xmlns='urn:d'><n xmlns=''><e/></n><m xmlns='urn:m'/></r>",
      "<f:r xmlns:f='urn:f'><x/><f:i xmlns:g='urn:g'><g:s/></f:i><g:i xmlns:g='urn:o'/></f:r>",
      "<?pi?><r><a><b><c xmlns:deep='urn:deep'/></b></a><!-- after --></r>"};
  for (const char* xml : documents) {
    EXPECT_TRUE(read_text(xml)) << xml;
  }
}

TEST_F(InputDocumentTest, EntityReferencesLeaveTheListIncompleteAndTheWalkDecides) {
  EXPECT_FALSE(
      read_text("<!DOCTYPE r [<!ENTITY e \"<x xmlns:p='urn:e'/>\">]>"
                "<r xmlns:p='urn:r'>&e;<y/></r>"));
  EXPECT_FALSE(read_text("<!DOCTYPE r [<!ENTITY e 'text'>]><r>&e;</r>"));
}

TEST_F(InputDocumentTest, BrokenOrMissingInputsGiveNoDocumentAndTheSameError) {
  DocumentNotes notes;
  test::write_file(dir_.file("broken.xml"), "<r xmlns:p='urn:p'><a></r>");
  EXPECT_FALSE(read_input_document(dir_.file("broken.xml").c_str(), notes));
  EXPECT_FALSE(notes.complete);
  EXPECT_TRUE(notes.declaring.empty());
  const std::string noted_error = xmlGetLastError()->message;
  XmlDocPtr plain(xmlReadFile(dir_.file("broken.xml").c_str(), nullptr, XML_PARSE_NONET));
  EXPECT_EQ(noted_error, xmlGetLastError()->message);
  EXPECT_FALSE(read_input_document(dir_.file("missing.xml").c_str(), notes));
}

TEST_F(InputDocumentTest, TheProjectsOwnDocumentsReadAlike) {
  int files = 0;
  for (const char* folder : {RUVO_XML_TEST_DATA, RUVO_EXAMPLES_DIR}) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      if (entry.path().extension() == ".xml") {
        read_like_libxml2(entry.path().string());
        ++files;
      }
    }
  }
  EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace ruvo

// Documents from files and memory into handles: sources, validation, encodings,
// handle kinds and closing.
#include <gtest/gtest.h>

#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "xdom/handle.h"
#include "xdom/parsing/plain_document.h"
#include "frame/transcode.h"
#include "dom_test_support.h"

using namespace qvtest;
using xercesc::DOMNode;

namespace {

class Parse : public XdomTest {};

TEST_F(Parse, OpensFromMemoryAndFiles) {
    const std::string one = dataPath("one.xml");
    const std::string missing = dataPath("no-such-file.xml");
    const std::string dir = dataPath("");
    struct Case {
        const char* name;
        const char* source;
        int inMemory;
        int status;  // 0: opens; 2000: any code of the 2000 range
    };
    const Case cases[] = {
        {"one element in memory", "<a/>", 1, 0},
        {"the same text taken as a file name", "<a/>", 0, 2000},
        {"file", one.c_str(), 0, 0},
        {"missing file", missing.c_str(), 0, 2000},
        {"directory", dir.c_str(), 0, 2000},
        {"not well-formed", "<a>x</b>", 1, 30},
        {"empty text", "", 1, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle h(QV_XDOMOpen(c.source, c.inMemory));
        if (c.status == 0) {
            ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
            EXPECT_EQ(QV_XDOMIsDoc(h), 1);
            EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
            EXPECT_STREQ(Q_XMLGetErrMsg(), "");
        } else if (c.status == 2000) {
            EXPECT_EQ(h.get(), nullptr);
            EXPECT_GE(Q_XMLGetDOMStatus(), 2000);
            EXPECT_LT(Q_XMLGetDOMStatus(), 3000);
            EXPECT_EQ(Q_XMLGetErrCode(), Q_XMLGetDOMStatus());
            EXPECT_EQ(linesStartingWith("An XML exception occured. Message: "), 1) << Q_XMLGetErrMsg();
        } else {
            EXPECT_EQ(h.get(), nullptr);
            EXPECT_EQ(Q_XMLGetDOMStatus(), c.status);
            EXPECT_EQ(linesStartingWith("Fatal error at file "), 1) << Q_XMLGetErrMsg();
        }
    }
}

TEST_F(Parse, MissingFileNamesThePathInTheParsersWords) {
    const std::string missing = dataPath("no-such-file.xml");
    Handle h(QV_XDOMOpen(missing.c_str(), 0));
    EXPECT_EQ(h.get(), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 2066);
    EXPECT_EQ(std::string(Q_XMLGetErrMsg()),
              "An XML exception occured. Message: unable to open primary document entity '" +
                  missing + "'\n");
}

// Errors in text given in memory name the memory buffer. A document the faster
// scanner finds fault with is scanned again by the general one, so the host reads
// the reports it always read (that scanner places the duplicate at column 12).
TEST_F(Parse, MemoryErrorsNameTheMemoryBufferAtTheGeneralScannersPosition) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"<a>x</b>",
         "Fatal error at file 'QVXMLMemoryBufferID', line 1, column 7. Message: expected "
         "end of tag 'a'\n"},
        {"<r a='1' a='2'/>",
         "Fatal error at file 'QVXMLMemoryBufferID', line 1, column 17. Message: attribute "
         "'a' is already specified for element 'r'\n"},
    };
    for (const Case& c : cases) {
        Q_XMLResetErrMsg();
        Handle h(QV_XDOMOpen(c.text, 1));
        EXPECT_EQ(h.get(), nullptr);
        EXPECT_STREQ(Q_XMLGetErrMsg(), c.message);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 30);
    }
}

// A document is scanned by the faster well-formedness scanner only when nothing
// before its document element could be a document type, read in an encoding
// whose ASCII bytes are ASCII, and no start tag has more than 100 attributes.
TEST(PlainDocument, OnlyWhatCertainlyHasNoDocumentTypeNorManyAttributes) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        bool plain;
    };
    const Case cases[] = {
        {"<r/>", true},
        {" \r\n<r/>", true},
        {"\xEF\xBB\xBF<r/>", true},
        {"<?xml version='1.0' encoding='ISO-8859-1'?><!-- <!DOCTYPE r> --><?pi d?>\n<r/>", true},
        {"<?xml version=\"1.0\" encoding = \"utf-8\" standalone='yes'?><\xC3\xA9/>", true},
        {"<!DOCTYPE r><r/>", false},
        {"<!-- c --><!DOCTYPE r [<!ENTITY e 'v'>]><r>&e;</r>", false},
        {"<?xml version='1.0' encoding='UTF-16'?><r/>", false},
        {"<?xml\tversion='1.0' encoding='IBM037'?><r/>", false},
        {"<?xml version='1.0' encoding=UTF-8?><r/>", false},
        {"\xFF\xFE<\0r\0/\0>\0"s, false},
        {"<\0r\0/\0>\0"s, false},
        {"<!-- unterminated <r/>", false},
        {"text<r/>", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qv::hasPlainProlog(reinterpret_cast<const XMLByte*>(c.bytes.data()), c.bytes.size()),
                  c.plain)
            << c.bytes;

    // Nor a start tag of more than 100 attributes, wherever it stands.
    auto tag = [](int attributes) {
        std::string s = "<r";
        for (int i = 0; i < attributes; ++i) s += " a" + std::to_string(i) + "=''";
        return s + "/>";
    };
    const Case tags[] = {
        {tag(100), true},
        {tag(101), false},
        {"<d><t>" + std::string(1000, 'x') + "</t>" + tag(101) + "</d>", false},
        {"<d>" + tag(3) + std::string(5000, '=') + "</d>", false},  // "=" in text count too
        {"<d>" + std::string(5000, 'x') + tag(100) + "</d>", true},
    };
    for (const Case& c : tags)
        EXPECT_EQ(qv::isPlainDocument(reinterpret_cast<const XMLByte*>(c.bytes.data()), c.bytes.size()),
                  c.plain)
            << c.bytes.substr(0, 80);
}

TEST_F(Parse, DtdNamedByTheDocumentIsValidated) {
    {
        const std::string path = dataPath("dtd_valid.xml");
        Handle h(QV_XDOMOpen(path.c_str(), 0));
        EXPECT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    }
    const std::string path = dataPath("dtd_three_errors.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    EXPECT_EQ(h.get(), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 29);
    EXPECT_EQ(linesStartingWith("Error at file '" + path + "', line "), 3) << Q_XMLGetErrMsg();
    EXPECT_EQ(linesStartingWith(""), 3);
}

TEST_F(Parse, BrokenExternalDtdIsAFatalError) {
    const std::string path = dataPath("dtd_broken.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    EXPECT_EQ(h.get(), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 30);
    EXPECT_EQ(linesStartingWith("Fatal error at file '" + dataPath("broken.dtd") + "'"), 1)
        << Q_XMLGetErrMsg();
}

TEST_F(Parse, ValidatesAgainstSchemasItIsGiven) {
    const std::string nsValid = dataPath("ns_valid.xml");
    const std::string nsInvalid = dataPath("ns_invalid.xml");
    const std::string nsList = "urn:qv:orders " + dataPath("orders.xsd");
    const std::string noteValid = dataPath("note_valid.xml");
    const std::string noteInvalid = dataPath("note_invalid.xml");
    const std::string plain = dataPath("plain.xsd");
    struct Case {
        const char* name;
        const char* source;
        int inMemory;
        const char* noNamespace;
        const char* list;
        int status;
        int lines;
    };
    const Case cases[] = {
        {"namespace list, valid", nsValid.c_str(), 0, nullptr, nsList.c_str(), 0, 0},
        {"namespace list, invalid", nsInvalid.c_str(), 0, nullptr, nsList.c_str(), 29, 2},
        {"no schema given: no schema processing", nsInvalid.c_str(), 0, nullptr, nullptr, 0, 0},
        {"no-namespace schema, valid", noteValid.c_str(), 0, plain.c_str(), nullptr, 0, 0},
        {"no-namespace schema, invalid", noteInvalid.c_str(), 0, plain.c_str(), nullptr, 29, 2},
        {"memory text against a schema", "<note><to/><to/></note>", 1, plain.c_str(), nullptr, 29, 1},
        {"not well-formed", "<note>", 1, plain.c_str(), nullptr, 30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        EXPECT_EQ(QV_XDOMValidate(c.source, c.inMemory, c.noNamespace, c.list), c.status)
            << Q_XMLGetErrMsg();
        EXPECT_EQ(Q_XMLGetDOMStatus(), c.status);
        EXPECT_EQ(linesStartingWith(""), c.lines) << Q_XMLGetErrMsg();
    }
}

TEST_F(Parse, EncodingIsActualThenDeclared) {
    const std::string one = dataPath("one.xml");
    struct Case {
        const char* source;
        int inMemory;
        const char* encoding;
    };
    const Case cases[] = {
        {one.c_str(), 0, "ISO-8859-1"},
        {"<a/>", 1, "UTF-8"},
        {"<?xml version='1.0'?><a/>", 1, "UTF-8"},
        {"<?xml version='1.0' encoding='us-ascii'?><a/>", 1, "us-ascii"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Handle h(QV_XDOMOpen(c.source, c.inMemory));
        ASSERT_NE(h.get(), nullptr);
        EXPECT_EQ(qv::localText(h.get()->encoding()), c.encoding);
    }
}

TEST_F(Parse, DocumentsAreIndependent) {
    QvHandle first = QV_XDOMOpen("<first>1</first>", 1);
    Handle second(QV_XDOMOpen("<second>2</second>", 1));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second.get(), nullptr);
    first->domNode();
    second.get()->domNode();
    EXPECT_NE(first->sharedDom().owner.get(), second.get()->sharedDom().owner.get());
    EXPECT_EQ(QV_XDOMClose(first), 0);
    const char* text = QV_XDOMWrite(second, nullptr, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find("<second>2</second>"), std::string::npos);
}

TEST_F(Parse, ClosingHandles) {
    EXPECT_EQ(QV_XDOMClose(nullptr), 0);
    EXPECT_EQ(QV_XDOMCloseHandle(nullptr), 0);
    Handle doc(QV_XDOMOpen("<r><a/></r>", 1));
    ASSERT_NE(doc.get(), nullptr);
    doc.get()->domNode();
    DOMNode* a = doc.get()->builtDom()->getDocumentElement()->getFirstChild();
    QvHandle node = qv::makeNodeHandle(doc.get(), a);
    EXPECT_EQ(QV_XDOMIsDoc(node), 0);
    EXPECT_EQ(qv::documentHandleOf(node), doc.get());
    EXPECT_EQ(QV_XDOMCloseHandle(node), 0);
    EXPECT_EQ(doc.get()->builtDom()->getDocumentElement()->getFirstChild(), a);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 0);
}

TEST_F(Parse, AdjacentTextIsMerged) {
    const std::string path = dataPath("merged_text.xml");
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    h.get()->domNode();
    DOMNode* r = h.get()->builtDom()->getDocumentElement();
    ASSERT_NE(r->getFirstChild(), nullptr);
    EXPECT_EQ(r->getFirstChild()->getNextSibling(), nullptr);
    EXPECT_EQ(qv::localText(r->getFirstChild()->getNodeValue()), "amidbAc");
}

}  // namespace

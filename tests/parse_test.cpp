// Documents from files and memory into handles: sources, validation, encodings,
// handle kinds and closing.
#include <gtest/gtest.h>

#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "xdom/handle.h"
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

TEST_F(Parse, MemoryErrorsNameTheMemoryBuffer) {
    Handle h(QV_XDOMOpen("<a>x</b>", 1));
    EXPECT_EQ(h.get(), nullptr);
    EXPECT_STREQ(Q_XMLGetErrMsg(),
                 "Fatal error at file 'QVXMLMemoryBufferID', line 1, column 7. Message: expected "
                 "end of tag 'a'\n");
    EXPECT_EQ(Q_XMLGetDOMStatus(), 30);
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

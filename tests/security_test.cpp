// Hostile input: each case ends quickly with a clear line in the error state, the
// process alive and nothing leaked (the sanitizer run checks the last two).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "frame/limits.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "dom_test_support.h"

using namespace qvtest;

namespace {

class Hostile : public XdomTest {};

std::string nested(size_t depth) {
    std::string s;
    s.reserve(depth * 7 + 1);
    for (size_t i = 0; i < depth; ++i) s += "<a>";
    s += "t";
    for (size_t i = 0; i < depth; ++i) s += "</a>";
    return s;
}

// One 50 KB entity referenced 20,000 times: about 110 KB that would expand to 1 GB.
std::string manyAttributes(size_t count) {
    std::string s = "<r";
    for (size_t i = 0; i < count; ++i) s += " a" + std::to_string(i) + "='v'";
    return s + "/>";
}

// `count` distinct element names: the root and count - 1 children.
std::string distinctNames(size_t count) {
    std::string s = "<r>";
    for (size_t i = 1; i < count; ++i) s += "<e" + std::to_string(i) + "/>";
    return s + "</r>";
}

std::string quadratic(bool inAttribute) {
    std::string s = "<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r v CDATA #IMPLIED><!ENTITY big \"" +
                    std::string(50000, 'x') + "\">]>";
    std::string refs;
    for (int i = 0; i < 20000; ++i) refs += "&big;";
    return s + (inAttribute ? "<r v=\"" + refs + "\"/>" : "<r>" + refs + "</r>");
}

TEST_F(Hostile, FailWithAClearFatalError) {
    const std::string bomb = dataPath("billion_laughs.xml");
    const std::string entityFile = dataPath("external_entity.xml");
    const std::string entityFromDtd = dataPath("external_entity_in_dtd.xml");
    const std::string secret = dataPath("secret.txt");
    const std::string entityInMemory = "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY x SYSTEM 'file://" +
                                       secret + "'>]><r>&x;</r>";
    const std::string quadraticText = quadratic(false);
    const std::string quadraticAttribute = quadratic(true);
    const std::string tooDeep = nested(100000);
    const std::string tooManyAttributes = manyAttributes(100000);
    struct Case {
        const char* name;
        const char* source;
        int inMemory;
        const char* message;  // in the fatal error line
    };
    const std::string tooManyNames = distinctNames(qv::limits::kMaxElementNames + 1);
    const Case cases[] = {
        {"exponential entities", bomb.c_str(), 0, "entity expansions in the document"},
        {"quadratic blowup in text", quadraticText.c_str(), 1, "entity expansion produces more than"},
        {"quadratic blowup in an attribute", quadraticAttribute.c_str(), 1,
         "MB for one piece of this document"},
        {"external entity naming a file", entityFile.c_str(), 0,
         "Message: external entity 'secret.txt' is not read"},
        {"external entity declared in the external DTD", entityFromDtd.c_str(), 0,
         "Message: external entity 'secret.txt' is not read"},
        {"external entity by URL from memory", entityInMemory.c_str(), 1,
         "is not read: documents may not include other files or URLs through entities"},
        {"nesting 100,000 deep", tooDeep.c_str(), 1, "elements are nested deeper than 2048 levels"},
        {"100,000 attributes on one element", tooManyAttributes.c_str(), 1,
         "an element has more than 10000 attributes"},
        {"one name too many", tooManyNames.c_str(), 1,
         "the document has more than 100000 distinct element names"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle h(QV_XDOMOpen(c.source, c.inMemory));
        EXPECT_EQ(h.get(), nullptr);
        EXPECT_EQ(Q_XMLGetDOMStatus(), 30);
        EXPECT_EQ(Q_XMLGetErrCode(), 30);
        EXPECT_EQ(linesStartingWith("Fatal error at file "), 1) << Q_XMLGetErrMsg();
        EXPECT_NE(std::string(Q_XMLGetErrMsg()).find(c.message), std::string::npos)
            << Q_XMLGetErrMsg();
        EXPECT_EQ(std::string(Q_XMLGetErrMsg()).find("secret-content"), std::string::npos);

        // The same bounds stop validation: shown with the limits lowered, which the
        // open above has shown at their production values.
        Q_XMLResetErrMsg();
        qv::limits::Lowered<std::size_t> attributes(qv::limits::kMaxAttributes, 100);
        qv::limits::Lowered<std::size_t> expansion(qv::limits::kEntityExpansionChars, 100000);
        EXPECT_EQ(QV_XDOMValidate(c.source, c.inMemory, nullptr, nullptr), 30);
    }
}

TEST_F(Hostile, LegitimateUsesOfTheSameFeaturesStillWork) {
    const std::string pe = dataPath("external_pe_dtd.xml");
    const std::string manyEntities =
        "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e 'some text'>]><r>" + [] {
            std::string s;
            for (int i = 0; i < 10000; ++i) s += "&e;&amp;&#65;";
            return s;
        }() + "</r>";
    const std::string atTheCap = nested(qv::limits::kMaxElementDepth);
    const std::string attributesAtTheCap = manyAttributes(qv::limits::kMaxAttributes);
    const std::string namesAtTheCap = distinctNames(qv::limits::kMaxElementNames);
    const std::string manyEmptySiblings = "<r>" + [] {
        std::string s;
        for (size_t i = 0; i < qv::limits::kMaxElementDepth + 10; ++i) s += "<e/>";
        return s;
    }() + "</r>";
    struct Case {
        const char* name;
        const char* source;
        int inMemory;
    };
    const Case cases[] = {
        {"external DTD through a parameter entity", pe.c_str(), 0},
        {"many small entity references", manyEntities.c_str(), 1},
        {"nesting at the limit", atTheCap.c_str(), 1},
        {"many empty siblings", manyEmptySiblings.c_str(), 1},
        {"attributes at the limit", attributesAtTheCap.c_str(), 1},
        {"distinct element names at the limit", namesAtTheCap.c_str(), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle h(QV_XDOMOpen(c.source, c.inMemory));
        ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
        // Written back without harm, deep trees included (compact: pretty printing a
        // tree this deep indents quadratically).
        QvDocSettings s;
        std::memset(&s, 0, sizeof s);
        s.splitCdata = 1;
        const char* text = QV_XDOMWrite(h, &s, nullptr);
        ASSERT_NE(text, nullptr) << Q_XMLGetErrMsg();
        EXPECT_GT(std::strlen(text), 0u);
    }
}

TEST_F(Hostile, LargeTextNodeAndLongFileName) {
    const std::string big = "<a>" + std::string(50u << 20, 'z') + "</a>";
    Handle h(QV_XDOMOpen(big.c_str(), 1));
    ASSERT_NE(h.get(), nullptr) << Q_XMLGetErrMsg();
    h.get()->domNode();
    EXPECT_EQ(qv::xmlLength(h.get()->builtDom()->getDocumentElement()->getFirstChild()->getNodeValue()),
              50u << 20);

    const std::string longName(5000, 'n');
    Q_XMLResetErrMsg();
    Handle none(QV_XDOMOpen(longName.c_str(), 0));
    EXPECT_EQ(none.get(), nullptr);
    EXPECT_EQ(Q_XMLGetDOMStatus(), 2066);
    EXPECT_EQ(linesStartingWith("An XML exception occured. Message: unable to open"), 1);
    Q_XMLResetErrMsg();
    EXPECT_EQ(QV_XDOMValidate(longName.c_str(), 0, longName.c_str(), nullptr), 2066);
}

}  // namespace

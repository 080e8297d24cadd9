// Conversion between host text and UTF-16, with and without a host encoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/runtime.h"
#include "qvxml.h"
#include "frame/transcode.h"

namespace {

QvHostEncoding g_encoding;
const QvHostEncoding* currentEncoding() { return &g_encoding; }

class Transcode : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(qv::startRuntime(qv::Runtime::Xml)); }
    void TearDown() override { QV_XMLInitial(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }

    static void useEncoding(const char* base, const char* input, const char* output) {
        std::memset(&g_encoding, 0, sizeof g_encoding);
        std::strcpy(g_encoding.base, base);
        std::strcpy(g_encoding.input, input);
        std::strcpy(g_encoding.output, output);
        QV_XMLInitial(nullptr, nullptr, nullptr, nullptr, nullptr, currentEncoding);
    }
};

std::u16string xml(const qv::XmlText& t) { return std::u16string(t.get()); }

TEST_F(Transcode, NullAndEmpty) {
    for (bool withHost : {false, true}) {
        SCOPED_TRACE(withHost ? "utf-8 host" : "no encoding callback");
        if (withHost) useEncoding("utf-8", "", "");
        EXPECT_EQ(qv::toXmlText(nullptr), nullptr);
        EXPECT_EQ(qv::toHostText(nullptr), nullptr);
        qv::XmlText e = qv::toXmlText("");
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e[0], 0);
        qv::HostText h = qv::toHostText(u"");
        ASSERT_NE(h, nullptr);
        EXPECT_STREQ(h.get(), "");
    }
}

TEST_F(Transcode, RoundTripsInTheHostEncoding) {
    struct Case {
        const char* encoding;
        const char* bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-8", "caf\xc3\xa9 \xe2\x82\xac", u"caf\u00e9 \u20ac"},
        {"ISO-8859-1", "caf\xe9", u"caf\u00e9"},
        {"utf-8", "\xf0\x9f\x98\x80", u"\U0001F600"},  // a surrogate pair
        {"IBM037", "\xc1\xc2\x81\x40\x51", u"ABa \u00e9"},  // ASCII letters are other bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        useEncoding(c.encoding, "", "");  // both directions fall back to the base name
        qv::XmlText in = qv::toXmlText(c.bytes);
        EXPECT_EQ(xml(in), c.text);
        qv::HostText out = qv::toHostText(in.get());
        EXPECT_STREQ(out.get(), c.bytes);
    }
}

TEST_F(Transcode, DirectionsUseTheirOwnNames) {
    useEncoding("ISO-8859-1", "", "UTF-8");
    EXPECT_EQ(xml(qv::toXmlText("\xe9")), u"\u00e9");
    EXPECT_STREQ(qv::toHostText(u"\u00e9").get(), "\xc3\xa9");
}

TEST_F(Transcode, UnknownNameFallsBackToTheLocalCodePage) {
    useEncoding("no-such-encoding", "", "");
    EXPECT_EQ(xml(qv::toXmlText("plain")), u"plain");
    EXPECT_STREQ(qv::toHostText(u"plain").get(), "plain");
    qv::HostTranscoder t("no-such-encoding");
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.encodingName(), nullptr);
}

TEST_F(Transcode, UnrepresentableCharactersAreReplaced) {
    useEncoding("ISO-8859-1", "", "");
    qv::HostText out = qv::toHostText(u"a\u20acb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::strlen(out.get()), 3u);
    EXPECT_EQ(out[0], 'a');
    EXPECT_NE(static_cast<unsigned char>(out[1]), 0x80);
    EXPECT_EQ(out[2], 'b');
}

TEST_F(Transcode, OutputLongerThanThreeBytesPerUnitIsNotCut) {
    // A stateful encoding spends escape sequences around each run of kana.
    qv::HostTranscoder t("ISO-2022-JP");
    ASSERT_FALSE(t.empty());
    std::u16string text;
    for (int i = 0; i < 50; ++i) text += u"a\u3042";
    qv::HostText out = t.toHost(text.c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_GT(std::strlen(out.get()), 3 * text.size());
    EXPECT_EQ(xml(t.toXml(out.get())), text);
}

TEST_F(Transcode, RetargetIgnoresLetterCase) {
    qv::HostTranscoder t("ISO-8859-1");
    t.retarget("iso-8859-1");
    EXPECT_STREQ(t.encodingName(), "ISO-8859-1");  // same transcoder kept
    t.retarget("latin1");
    EXPECT_STREQ(t.encodingName(), "latin1");      // another name makes a new one
    t.retarget("utf-8");
    EXPECT_STREQ(t.toHost(u"\u00e9").get(), "\xc3\xa9");
    t.retarget(nullptr);
    EXPECT_TRUE(t.empty());
}

}  // namespace

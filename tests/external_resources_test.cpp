// What documents and stylesheets may make the library read: files beside them and
// in the folders the host allows; never the network, never a file elsewhere. Each
// case builds its files in a fresh temporary folder; a listener on 127.0.0.1 proves
// that no request is sent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "xdom/parsing/resource_policy.h"
#include "dom_test_support.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

const char kSecret[] = "secret-content-7f3a";

// The folder the host allows, set before the library reads the setting (once, at
// its first decision). Removed when the tests end.
const fs::path& allowedFolder() {
    static const fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("qvxml-allowed-" + std::to_string(::getpid()));
        fs::create_directories(p);
        ::setenv(qv::kAllowPathsVariable, ("/nonexistent-folder:" + p.string()).c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(allowedFolder(), ignored);
        });
        return p;
    }();
    return folder;
}
const bool kAllowedFolderSet = !allowedFolder().empty();

// Accepts connections on 127.0.0.1 and counts them; answers each with a tiny body.
// Stops when destroyed, or by itself after a minute.
class Listener {
public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no listener";
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~Listener() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
    }
    int requests() const { return requests_; }

private:
    void run() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) continue;
            ++requests_;
            char buffer[512];
            (void)::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
            const std::string reply = std::string("HTTP/1.0 200 OK\r\n\r\n<!-- ") + kSecret + " -->";
            (void)::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(client);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// A fresh working folder for one case, made the current folder while it lives
// (texts held in memory read what lies beside them from there), and a folder
// outside it holding what must not be read.
class Folder {
public:
    Folder() {
        static int counter = 0;
        base_ = fs::temp_directory_path() /
                ("qvxml-resources-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(base_ / "work");
        previous_ = fs::current_path();
        fs::current_path(base_ / "work");
    }
    ~Folder() {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }
    // name: relative to the working folder; "../outside/..." for the folder outside.
    std::string path(const std::string& name) const {
        return fs::weakly_canonical(base_ / "work" / name).string();
    }
    std::string write(const std::string& name, const std::string& text) const {
        fs::path p = path(name);
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
        return p.string();
    }

private:
    fs::path base_;
    fs::path previous_;
};

std::string message() { return Q_XMLGetErrMsg(); }

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const char kStylesheetOpen[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:output method='text'/>";

std::string stylesheet(const std::string& body, const std::string& prolog = "") {
    return prolog + kStylesheetOpen + body + "</xsl:stylesheet>";
}

std::string valueOf(const std::string& select) {
    return stylesheet("<xsl:template match='/'><xsl:value-of select=\"" + select +
                      "\"/></xsl:template>");
}

std::string textOf(void* result) { return result ? static_cast<const char*>(result) : "(null)"; }

class ExternalResources : public XdomTest {
protected:
    Listener listener;
    Folder folder;

    void SetUp() override {
        XdomTest::SetUp();
        ASSERT_TRUE(kAllowedFolderSet);
        folder.write("../outside/secret.txt", kSecret);
        folder.write("../outside/secret.xml", std::string("<s>") + kSecret + "</s>");
        folder.write("../outside/module.ent", "<!ENTITY greeting 'from outside'>");
        folder.write("../outside/evil.xsl", stylesheet(""));
    }
};

// Every road by which content could name a file or URL, refused with code 30 before
// anything is read or sent.
TEST_F(ExternalResources, DocumentsNamingResourcesOutsideAreRefused) {
    const std::string secret = folder.path("../outside/secret.txt");
    fs::create_directories(folder.path("docs"));
    ASSERT_EQ(::mkfifo(folder.path("docs/pipe.dtd").c_str(), 0600), 0);
    fs::create_symlink(folder.path("../outside/module.ent"), folder.path("docs/link.ent"));
    folder.write(
        "docs/leak.dtd", "<!ELEMENT r EMPTY><!ENTITY % f SYSTEM '" + listener.url("f") +
                             "'><!ENTITY % d \"<!ATTLIST r leak CDATA '%f;'>\">%d;");
    struct Case {
        const char* name;
        std::string source;  // text, or a file name
        int inMemory;
        std::string reference;
        const char* why;
        bool schemaHint = false;  // only read when validating against a schema
    };
    const std::string dtdUrl = listener.url("a.dtd");
    const std::string fileUrl = "file://" + secret;
    const Case cases[] = {
        {"DTD by URL", "<!DOCTYPE r SYSTEM '" + dtdUrl + "'><r/>", 1, dtdUrl, "never the network"},
        {"parameter entity by file URL", "<!DOCTYPE r [<!ENTITY % f SYSTEM '" + fileUrl + "'> %f;]><r/>",
         1, fileUrl, "absolute paths are read only inside the folders the host allows"},
        {"parameter entity by absolute path", "<!DOCTYPE r [<!ENTITY % f SYSTEM '" + secret + "'> %f;]><r/>",
         1, secret, "absolute paths are read only inside the folders the host allows"},
        {"file URL naming another host", "<!DOCTYPE r SYSTEM 'file://server/share/a.dtd'><r/>", 1,
         "file://server/share/a.dtd", "only local files are read"},
        {"FTP", "<!DOCTYPE r SYSTEM 'ftp://127.0.0.1/a.dtd'><r/>", 1, "ftp://127.0.0.1/a.dtd",
         "never the network"},
        {"'..' out of the document's folder",
         folder.write("docs/up.xml", "<!DOCTYPE r [<!ENTITY % m SYSTEM '../../outside/module.ent'> %m;]><r/>"),
         0, "../../outside/module.ent", "'..' leads out of the folder of the file that names it"},
        {"symbolic link out of the document's folder",
         folder.write("docs/link.xml", "<!DOCTYPE r [<!ENTITY % m SYSTEM 'link.ent'> %m;]><r/>"), 0,
         "link.ent", "a symbolic link leads out of the folder of the file that names it"},
        {"FIFO as DTD", folder.write("docs/fifo.xml", "<!DOCTYPE r SYSTEM 'pipe.dtd'><r/>"), 0,
         "pipe.dtd", "it is not a regular file"},
        {"parameter entity by URL inside a DTD beside the document",
         folder.write("docs/leak.xml", "<!DOCTYPE r SYSTEM 'leak.dtd'><r/>"), 0, listener.url("f"),
         "never the network"},
        {"schema hint by URL", "<r xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
                               "xsi:noNamespaceSchemaLocation='" + listener.url("s.xsd") + "'/>",
         1, listener.url("s.xsd"), "never the network", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool validate : {false, true}) {
            Q_XMLResetErrMsg();
            if (validate) {
                // With a schema location of the host's own, hints are looked at too.
                EXPECT_EQ(QV_XDOMValidate(c.source.c_str(), c.inMemory, nullptr,
                                          "urn:unused unused.xsd"), 30);
            } else {
                Handle h(QV_XDOMOpen(c.source.c_str(), c.inMemory));
                // Without a schema location no schema is processed: nothing to refuse.
                EXPECT_EQ(h.get() != nullptr, c.schemaHint) << message();
                if (c.schemaHint) continue;
            }
            EXPECT_EQ(Q_XMLGetDOMStatus(), 30);
            EXPECT_EQ(Q_XMLGetErrCode(), 30);
            EXPECT_EQ(linesStartingWith("Fatal error at file '"), 1) << message();
            EXPECT_TRUE(contains(message(), ", line ")) << message();
            EXPECT_TRUE(contains(message(), "Message: external resource '" + c.reference +
                                                "' is not read: "))
                << message();
            EXPECT_TRUE(contains(message(), c.why)) << message();
            EXPECT_FALSE(contains(message(), kSecret)) << message();
        }
    }
    EXPECT_EQ(listener.requests(), 0);
}

TEST_F(ExternalResources, DocumentsReadWhatLiesBesideThemAndInAllowedFolders) {
    folder.write("docs/doc.dtd", "<!ELEMENT r (#PCDATA)><!ATTLIST r kind CDATA 'from-dtd'>");
    folder.write("docs/module.ent", "<!ELEMENT r (#PCDATA)><!ENTITY greeting 'hello'>");
    folder.write("docs/sub/deeper.ent", "<!ELEMENT r (#PCDATA)><!ENTITY deeper 'below'>");
    const fs::path shared = allowedFolder() / "shared.ent";
    std::ofstream(shared) << "<!ELEMENT r (#PCDATA)><!ENTITY shared 'from the catalog'>";
    folder.write("schemas/types.xsd",
                 "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
                 "<xs:simpleType name='small'><xs:restriction base='xs:int'>"
                 "<xs:maxInclusive value='9'/></xs:restriction></xs:simpleType></xs:schema>");
    const std::string schema = folder.write(
        "schemas/r.xsd", "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
                         "<xs:include schemaLocation='types.xsd'/>"
                         "<xs:element name='r' type='small'/></xs:schema>");
    folder.write("beside.dtd", "<!ELEMENT r (#PCDATA)><!ATTLIST r kind CDATA 'beside-text'>");

    struct Case {
        const char* name;
        std::string source;
        int inMemory;
        const char* expression;
        const char* expected;
    };
    const Case cases[] = {
        {"DTD beside the document file",
         folder.write("docs/a.xml", "<!DOCTYPE r SYSTEM 'doc.dtd'><r>x</r>"), 0, "string(/r/@kind)",
         "from-dtd"},
        {"parameter entity module beside it",
         folder.write("docs/b.xml", "<!DOCTYPE r [<!ENTITY % m SYSTEM 'module.ent'> %m;]><r>&greeting;</r>"),
         0, "string(/r)", "hello"},
        {"module in a folder below",
         folder.write("docs/c.xml", "<!DOCTYPE r [<!ENTITY % m SYSTEM 'sub/deeper.ent'> %m;]><r>&deeper;</r>"),
         0, "string(/r)", "below"},
        {"text in memory, DTD in the current folder", "<!DOCTYPE r SYSTEM 'beside.dtd'><r>x</r>", 1,
         "string(/r/@kind)", "beside-text"},
        {"absolute path into the allowed folder",
         "<!DOCTYPE r [<!ENTITY % m SYSTEM '" + shared.string() + "'> %m;]><r>&shared;</r>", 1,
         "string(/r)", "from the catalog"},
        {"file URL into the allowed folder",
         "<!DOCTYPE r [<!ENTITY % m SYSTEM 'file://" + shared.string() + "'> %m;]><r>&shared;</r>", 1,
         "string(/r)", "from the catalog"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        Handle h(QV_XDOMOpen(c.source.c_str(), c.inMemory));
        ASSERT_NE(h.get(), nullptr) << message();
        EXPECT_STREQ(QV_XDOMEvaluate(h, c.expression, nullptr), c.expected);
    }
    // A schema the host names is read as given, and what it includes beside it.
    Q_XMLResetErrMsg();
    EXPECT_EQ(QV_XDOMValidate("<r>7</r>", 1, schema.c_str(), nullptr), 0) << message();
    EXPECT_EQ(QV_XDOMValidate("<r>12</r>", 1, schema.c_str(), nullptr), 29);
    EXPECT_EQ(listener.requests(), 0);
}

TEST_F(ExternalResources, StylesheetsNamingResourcesOutsideAreRefused) {
    Handle doc(QV_XDOMOpen("<r><n>1</n></r>", 1));
    ASSERT_NE(doc.get(), nullptr);
    const std::string secret = folder.path("../outside/secret.txt");
    const std::string secretXml = folder.path("../outside/secret.xml");
    ::mkfifo(folder.path("pipe.xml").c_str(), 0600);
    // A thousand million characters from a few hundred bytes.
    auto bomb = [](const std::string& root) {
        return "<!DOCTYPE " + root + " [<!ENTITY a '0123456789'>"
        "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>"
        "<!ENTITY d '&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;'><!ENTITY e '&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;'>"
        "<!ENTITY f '&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;'><!ENTITY g '&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;'>"
        "<!ENTITY h '&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;'><!ENTITY i '&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;'>]>";
    };
    folder.write("bomb.xml", bomb("x") + "<x>&i;</x>");
    folder.write("entity.xml", "<!DOCTYPE x [<!ENTITY s SYSTEM '" + secret + "'>]><x>&s;</x>");
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "<e>";
    for (int i = 0; i < 20000; ++i) deep += "</e>";
    folder.write("deep.xsl", stylesheet("<xsl:template match='/'>" + deep + "</xsl:template>"));
    // Every level imports both stylesheets of the next: 2^13 reads for Xalan.
    for (int level = 0; level <= 12; ++level) {
        const std::string next = std::to_string(level + 1);
        const std::string imports = level == 12 ? std::string() :
            "<xsl:import href='a" + next + ".xsl'/><xsl:import href='b" + next + ".xsl'/>";
        for (const char* name : {"a", "b"})
            folder.write(name + std::to_string(level) + ".xsl",
                         "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>" +
                             imports + "</xsl:stylesheet>");
    }
    const std::string bombStylesheet =
        bomb("xsl:stylesheet") + stylesheet("<xsl:template match='/'>&i;</xsl:template>");
    folder.write("bomb.xsl", bombStylesheet);

    struct Case {
        const char* name;
        std::string stylesheet;
        int isText;
        std::string part;  // in the message
    };
    const Case cases[] = {
        {"external entity in the stylesheet",
         "<!DOCTYPE xsl:stylesheet [<!ENTITY s SYSTEM 'file://" + secret + "'>]>" +
             stylesheet("<xsl:template match='/'>&s;</xsl:template>"),
         1, "is not read: documents may not include other files or URLs through entities"},
        {"entity bomb in the stylesheet text", bombStylesheet, 1, "entity expansion"},
        {"document() of an absolute path", valueOf("document('" + secretXml + "')"), 1,
         "external resource '"},
        {"document() of a file URL", valueOf("document('file://" + secretXml + "')"), 1,
         "is not read: it lies outside the folder of the stylesheet"},
        {"document() of a URL", valueOf("document('" + listener.url("d.xml") + "')"), 1,
         "is not read: only local files are read, never the network"},
        {"document() of a FIFO", valueOf("document('pipe.xml')"), 1,
         "is not read: it is not a regular file"},
        {"document() of a file with an external entity", valueOf("document('entity.xml')"), 1,
         "documents may not include other files or URLs through entities"},
        {"document() of an entity bomb", valueOf("document('bomb.xml')"), 1, "entity expansion"},
        {"include by absolute path",
         stylesheet("<xsl:include href='" + folder.path("../outside/evil.xsl") + "'/>"), 1,
         "is not read: absolute paths are read only inside the folders the host allows"},
        {"include by '..'", folder.write("sheets/up.xsl", stylesheet("<xsl:include href='../../outside/evil.xsl'/>")),
         0, "is not read: '..' leads out of the folder of the file that names it"},
        {"import by URL", stylesheet("<xsl:import href='" + listener.url("i.xsl") + "'/>"), 1,
         "is not read: only local files are read, never the network"},
        {"included stylesheet nested 20,000 deep", stylesheet("<xsl:import href='deep.xsl'/>"), 1,
         "stylesheet refused: elements are nested deeper than 1000 levels"},
        {"included entity bomb", stylesheet("<xsl:include href='bomb.xsl'/>"), 1, "entity expansion"},
        {"imports doubling at every level", stylesheet("<xsl:include href='a0.xsl'/>"), 1,
         "stylesheet refused: it includes and imports more than 1000 stylesheets"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Q_XMLResetErrMsg();
        testing::internal::CaptureStderr();
        EXPECT_EQ(QV_XDOMTransform(doc, c.stylesheet.c_str(), c.isText, QV_RESULT_TEXT, nullptr), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(Q_XMLGetDOMStatus(), 16);
        EXPECT_EQ(Q_XMLGetErrCode(), 16);
        EXPECT_EQ(message().rfind("DOM transform error: ", 0), 0u) << message();
        EXPECT_TRUE(contains(message(), c.part)) << message();
        EXPECT_FALSE(contains(message(), kSecret)) << message();
    }
    EXPECT_EQ(listener.requests(), 0);
}

TEST_F(ExternalResources, StylesheetsReadWhatLiesBesideThem) {
    Handle doc(QV_XDOMOpen("<r><n>1</n></r>", 1));
    ASSERT_NE(doc.get(), nullptr);
    folder.write("sheets/data.xml", "<!DOCTYPE d [<!ENTITY who 'data beside'>]><d>&who;</d>");
    folder.write("sheets/common.xsl", stylesheet("<xsl:template name='common'>[common]</xsl:template>"));
    folder.write("sheets/sub/base.xsl",
                 stylesheet("<xsl:template match='n'>[base <xsl:value-of select='.'/>]</xsl:template>"));
    const std::string main = folder.write(
        "sheets/main.xsl",
        "<!DOCTYPE xsl:stylesheet [<!ENTITY sep ' | '>]>"
        "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
        "<xsl:import href='sub/base.xsl'/><xsl:output method='text'/><xsl:include href='common.xsl'/>"
        "<xsl:variable name='self' select=\"document('')/*/@version\"/>"
        "<xsl:template match='/'><xsl:call-template name='common'/>&sep;"
        "<xsl:apply-templates select='r/n'/>&sep;"
        "<xsl:value-of select=\"document('data.xml')/d\"/>&sep;"
        "<xsl:value-of select='$self'/>&sep;"
        "<xsl:value-of select=\"count(document('missing.xml'))\"/></xsl:template>"
        "</xsl:stylesheet>");
    EXPECT_EQ(textOf(QV_XDOMTransform(doc, main.c_str(), 0, QV_RESULT_TEXT, nullptr)),
              "[common] | [base 1] | data beside | 1.0 | 0")
        << message();

    // Stylesheet text reads from the current folder; the host's folder from anywhere.
    folder.write("here.xml", "<d>current folder</d>");
    const fs::path shared = allowedFolder() / "shared.xml";
    std::ofstream(shared) << "<d>allowed folder</d>";
    EXPECT_EQ(textOf(QV_XDOMTransform(doc, valueOf("document('here.xml')/d").c_str(), 1,
                                      QV_RESULT_TEXT, nullptr)),
              "current folder")
        << message();
    EXPECT_EQ(textOf(QV_XDOMTransform(doc, valueOf("document('" + shared.string() + "')/d").c_str(),
                                      1, QV_RESULT_TEXT, nullptr)),
              "allowed folder")
        << message();
    EXPECT_EQ(listener.requests(), 0);
}

// The rule itself, on names alone and on a small tree of files.
TEST(ResourcePolicy, Decisions) {
    Folder folder;
    const std::string base = folder.write("docs/doc.xml", "<r/>");
    folder.write("docs/a b.dtd", "");
    folder.write("docs/sub/m.ent", "");
    folder.write("../outside/x.dtd", "");
    fs::create_symlink(folder.path("docs/sub"), folder.path("docs/inner"));
    fs::create_symlink(folder.path("../outside"), folder.path("docs/out"));
    const std::string docs = folder.path("docs");
    const std::string allowed = fs::canonical(allowedFolder()).string();
    std::ofstream(allowedFolder() / "a b.dtd") << "";
    struct Case {
        std::string reference;
        std::string base;
        std::string path;  // the file read, or "" when refused
        const char* why = "";
    };
    const Case cases[] = {
        {"sub/m.ent", base, docs + "/sub/m.ent"},
        {"./sub/m.ent", base, docs + "/sub/m.ent"},
        {"inner/m.ent", base, docs + "/sub/m.ent"},  // a link that stays inside
        {"file://" + docs + "/a%20b.dtd", base, "", "absolute paths are read only inside"},
        {"file://" + allowed + "/a%20b.dtd", "", allowed + "/a b.dtd"},
        {allowed + "/../" + fs::path(allowed).filename().string() + "/a b.dtd", "", allowed + "/a b.dtd"},
        {"a b.dtd", base, docs + "/a b.dtd"},
        {"file:sub/m.ent", base, docs + "/sub/m.ent"},
        {"sub/../sub/m.ent", base, "", "'..' leads out"},
        {"out/x.dtd", base, "", "a symbolic link leads out"},
        {"sub", base, "", "it is not a regular file"},
        {"HTTPS://example.org/x.dtd", base, "", "never the network"},
        {"jar:file:/x!/y", base, "", "never the network"},
        {"file://localhost" + folder.path("../outside/x.dtd"), base, "", "absolute paths"},
        {"x.dtd", "http://example.org/doc.xml", "", "not named relative to a local folder"},
        {"etc/passwd", "/QVXMLMemoryBufferID", "", "not named relative to a local folder"},
        {"", base, "", "it names no file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reference);
        qv::ResourceDecision d = qv::decideResource(c.reference, c.base);
        EXPECT_EQ(d.path, c.path);
        EXPECT_TRUE(contains(d.refusal, c.why)) << d.refusal;
        EXPECT_EQ(d.refusal.empty(), !c.path.empty()) << d.refusal;
    }
    // Beside the document, not there: read as usual, which fails as usual.
    qv::ResourceDecision missing = qv::decideResource("none.dtd", base);
    EXPECT_TRUE(missing.missing);
    EXPECT_TRUE(missing.refusal.empty());
}

}  // namespace

// A document at the nesting cap works with every export on a thread of 1 MB of
// stack (what a host's worker thread may have); a tree built deeper than a parse
// allows is refused by the exports that would walk it recursively.
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "frame/limits.h"
#include "isolation.h"
#include "qvxml.h"
#include "dataset_fixture.h"

namespace {

constexpr std::size_t kStack = std::size_t(1) << 20;
// The sanitizers' frames are several times larger than a release build's.
constexpr std::size_t kTestStack = qvtest::kAddressSanitizer ? 4 * kStack : kStack;

std::string nested(std::size_t depth) {
    std::string s;
    for (std::size_t i = 0; i < depth; ++i) s += "<a x='" + std::to_string(i) + "'>";
    s += "t";
    for (std::size_t i = 0; i < depth; ++i) s += "</a>";
    return s;
}

const char kIdentity[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
    "<xsl:template match='@*|node()'><xsl:copy><xsl:apply-templates select='@*|node()'/>"
    "</xsl:copy></xsl:template></xsl:stylesheet>";

// Runs `steps` on a small-stack thread in a child process; "ok" when every step
// returned true. A stack overflow ends only the child.
std::string onSmallStack(const std::function<bool()>& steps) {
    return qvtest::inCappedChild(std::size_t(8) << 30, [&] {
        bool ok = false;
        qvtest::onStackOf(kTestStack, [&] { ok = steps(); });
        return ok;
    });
}

TEST(DeepTree, EveryExportAtTheCapOnAOneMegabyteStack) {
    const std::string xml = nested(qv::limits::kMaxElementDepth);
    QvDocSettings settings{};
    const struct {
        const char* name;
        std::function<bool(QvHandle)> run;
    } exports[] = {
        {"Write", [&](QvHandle d) { return QV_XDOMWrite(d, &settings, nullptr) != nullptr; }},
        {"Write defaults", [](QvHandle d) { return QV_XDOMWrite(d, nullptr, nullptr) != nullptr; }},
        {"Clone", [](QvHandle d) {
             QvHandle copy = QV_XDOMClone(d, 1);
             const bool ok = copy && QV_XDOMWrite(copy, nullptr, nullptr);
             QV_XDOMClose(copy);
             return ok;
         }},
        {"ImportNode", [&](QvHandle d) {
             QvHandle target = QV_XDOMCreateRoot(&settings);
             QvHandle root = QV_XDOMLocate(d, "/a", nullptr);
             QvHandle copy = QV_XDOMImportNode(target, root, 1);
             const bool ok = copy && QV_XDOMAddChild(target, copy) == 0 &&
                             QV_XDOMWrite(target, nullptr, nullptr);
             QV_XDOMClose(copy);
             QV_XDOMClose(root);
             QV_XDOMClose(target);
             return ok;
         }},
        {"Evaluate", [](QvHandle d) {
             const char* count = QV_XDOMEvaluate(d, "count(//a[not(a)]/ancestor-or-self::a)", nullptr);
             if (!count || std::strcmp(count, "2048") != 0) return false;
             const char* text = QV_XDOMEvaluate(d, "string(/)", nullptr);
             return text && std::strcmp(text, "t") == 0;
         }},
        {"Locate and navigate", [](QvHandle d) {
             QvHandle deepest = QV_XDOMLocate(d, "//a[not(a)]", nullptr);
             QvHandle parent = QV_XDOMLocateNode(deepest, QV_DIR_PARENT, 0, QV_NODE_ANY);
             const char* value = QV_XDOMGetNodeValue(QV_XDOMGetAttribute(parent, "x"));
             const bool ok = value && std::strcmp(value, "2046") == 0;
             QV_XDOMClose(parent);
             QV_XDOMClose(deepest);
             return ok;
         }},
        {"Transform", [](QvHandle d) {
             const char* text = static_cast<const char*>(
                 QV_XDOMTransform(d, kIdentity, 1, QV_RESULT_TEXT, nullptr));
             QvHandle dom = static_cast<QvHandle>(QV_XDOMTransform(d, kIdentity, 1, QV_RESULT_DOM, nullptr));
             const bool ok = text && dom && QV_XDOMWrite(dom, nullptr, nullptr);
             QV_XDOMClose(dom);
             return ok;
         }},
        {"XMAPOpen with xmldata()", [](QvHandle d) {
             dstest::installHost({{"T", "ID", 0, 0, ""}, {"T", "A", 1, 0, ""}});
             QvHandle map = QV_XDOMOpen(
                 "<QVXMAP><TABLECLASSMAP MapName='M' TableName='T' StartNode='/a'>"
                 "<ColumnMap Column='ID' Node='@x'/><ColumnMap Column='A' Node='xmldata()'/>"
                 "</TABLECLASSMAP></QVXMAP>", 1);
             char* root = nullptr;
             QvDataset ds = QV_XMAPOpen(d, map, &root, '^', ']', '\\', '~', QV_XMAP_READ);
             char* record = nullptr;
             const bool ok = ds && QV_XMAPReadNext(ds, nullptr, &record) == 0;
             QV_XMAPClose(ds);
             QV_XDOMClose(map);
             return ok;
         }},
    };
    for (const auto& e : exports) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(onSmallStack([&] {
                      QvHandle doc = QV_XDOMOpen(xml.c_str(), 1);
                      const bool ok = doc && e.run(doc);
                      QV_XDOMClose(doc);
                      return ok;
                  }),
                  "ok");
    }
}

// Built node by node past what a parse accepts: the recursive walks refuse the
// tree with a clear error, the rest works.
TEST(DeepTree, BuiltDeeperThanTheCap) {
    EXPECT_EQ(onSmallStack([] {
                  QvDocSettings settings{};
                  QvHandle doc = QV_XDOMCreateRoot(&settings);
                  QvHandle parent = QV_XDOMCreateNode(doc, "a", "", QV_NODE_ELEMENT);
                  QV_XDOMAddChild(doc, parent);
                  for (std::size_t i = 0; i < 3000; ++i) {
                      QvHandle child = QV_XDOMCreateNode(doc, "a", "", QV_NODE_ELEMENT);
                      QV_XDOMAddChild(parent, child);
                      QV_XDOMClose(parent);
                      parent = child;
                  }
                  QV_XDOMClose(parent);
                  bool ok = true;
                  const std::string refused = ": elements are nested deeper than 2048 levels";
                  Q_XMLResetErrMsg();
                  ok &= QV_XDOMWrite(doc, nullptr, nullptr) == nullptr &&
                        std::strstr(Q_XMLGetErrMsg(), ("XDOMWrite" + refused).c_str());
                  Q_XMLResetErrMsg();
                  ok &= QV_XDOMClone(doc, 1) == nullptr && Q_XMLGetDOMStatus() == 4002 &&
                        std::strstr(Q_XMLGetErrMsg(), ("XDOMClone" + refused).c_str());
                  QvHandle shallow = QV_XDOMClone(doc, 0);
                  ok &= shallow != nullptr;
                  QV_XDOMClose(shallow);
                  const char* count = QV_XDOMEvaluate(doc, "count(//a)", nullptr);
                  ok &= count && std::strcmp(count, "3001") == 0;
                  QV_XDOMClose(doc);
                  return ok;
              }),
              "ok");
}

// The string value of a tree far deeper than a parse allows (built by edits here,
// as a transformation result or a document built from records may be) is
// computed without one stack frame per level: queries over it work on a 1 MB
// stack. A transformation, whose templates Xalan applies recursively, refuses it.
TEST(DeepTree, StringValuesOfATreeBuiltFarDeeper) {
    constexpr std::size_t kLevels = 100000;  // Xalan's own walk overflowed 1 MB at 60,000
    EXPECT_EQ(onSmallStack([] {
                  QvDocSettings settings{};
                  QvHandle doc = QV_XDOMCreateRoot(&settings);
                  // Bottom up: each add checks the new parent's ancestors, none here.
                  QvHandle top = QV_XDOMCreateNode(doc, "a", "", QV_NODE_ELEMENT);
                  QvHandle text = QV_XDOMCreateNode(doc, "", "7", QV_NODE_TEXT);
                  QV_XDOMAddChild(top, text);
                  QV_XDOMClose(text);
                  for (std::size_t i = 1; i < kLevels; ++i) {
                      QvHandle parent = QV_XDOMCreateNode(doc, "a", "", QV_NODE_ELEMENT);
                      QV_XDOMAddChild(parent, top);
                      QV_XDOMClose(top);
                      top = parent;
                  }
                  QV_XDOMAddChild(doc, top);
                  QV_XDOMClose(top);
                  bool ok = true;
                  for (const char* query : {"string(/)", "sum(/a)", "string(/a = '7')",
                                            "string(/a[. = 7]/a = //a[not(a)])"}) {
                      const char* value = QV_XDOMEvaluate(doc, query, nullptr);
                      const bool right = value && (std::strcmp(value, "7") == 0 ||
                                                   std::strcmp(value, "true") == 0);
                      if (!right) std::fprintf(stderr, "%s: %s\n", query, value ? value : Q_XMLGetErrMsg());
                      ok &= right;
                  }
                  // Templates applied recursively would not survive it: refused.
                  Q_XMLResetErrMsg();
                  ok &= !QV_XDOMTransform(doc, kIdentity, 1, QV_RESULT_TEXT, nullptr) &&
                        Q_XMLGetDOMStatus() == 16 &&
                        std::strstr(Q_XMLGetErrMsg(),
                                    "XDOMTransform: elements are nested deeper than 2048 levels");
                  QV_XDOMClose(doc);
                  return ok;
              }),
              "ok");
}

}  // namespace

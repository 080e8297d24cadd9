// A short tour of the document interface through the public header only: parse,
// walk, read properties, build a document node by node, write it, and see how a
// failure reaches the error state.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "qvxml.h"

namespace {

const char kOrders[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<ORDERS><ORDER id=\"1\" cust=\"C1\"><QTY>2</QTY></ORDER>"
    "<ORDER id=\"2\" cust=\"C2\"><QTY>5</QTY></ORDER></ORDERS>";

void walkOrders(QvHandle doc) {
    QvHandle root = QV_XDOMLocateNode(doc, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT);
    std::printf("   document element: %s\n", QV_XDOMGetNodeName(root));
    QvHandle order = QV_XDOMLocateNode(root, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT);
    while (order) {
        QvHandle cust = QV_XDOMGetAttribute(order, "cust");
        QvHandle qty = QV_XDOMLocateNode(order, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT);
        QvHandle text = QV_XDOMLocateNode(qty, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_TEXT);
        std::printf("   %s cust=%s qty=%s\n", QV_XDOMGetNodeName(order), QV_XDOMGetNodeValue(cust),
                    QV_XDOMGetNodeValue(text));
        QV_XDOMClose(text);
        QV_XDOMClose(qty);
        QV_XDOMClose(cust);
        QvHandle next = QV_XDOMLocateNode(order, QV_DIR_NEXT_SAME_KIND, 0, 0);
        QV_XDOMClose(order);
        order = next;
    }
    QV_XDOMClose(root);
    Q_XMLResetErrMsg();  // the walk ends on "No such node was found."
}

void buildAndWrite() {
    QvDocSettings settings;
    std::memset(&settings, 0, sizeof settings);
    std::strcpy(settings.docEncoding, "UTF-8");
    QvHandle doc = QV_XDOMCreateRoot(&settings);
    QvHandle root = QV_XDOMCreateNode(doc, "inv:INVOICE:urn:invoices", nullptr, QV_NODE_ELEMENT);
    QV_XDOMAddChild(doc, root);
    QvHandle no = QV_XDOMCreateNode(root, "no", "42", QV_NODE_ATTRIBUTE);
    QV_XDOMAddChild(root, no);
    QvHandle note = QV_XDOMCreateNode(doc, nullptr, "paid in full", QV_NODE_TEXT);
    QV_XDOMAddChild(root, note);
    settings.xmlDeclaration = 1;
    settings.prettyPrint = 1;
    std::strcpy(settings.lineEnd, "LF");
    std::printf("%s\n", QV_XDOMWrite(doc, &settings, nullptr));
    QV_XDOMClose(note);
    QV_XDOMClose(no);
    QV_XDOMClose(root);
    QV_XDOMClose(doc);
}

}  // namespace

int main() {
    std::printf("1. Parse a document from memory and walk it node by node:\n");
    QvHandle doc = QV_XDOMOpen(kOrders, 1);
    walkOrders(doc);
    QV_XDOMClose(doc);

    std::printf("\n2. Build a document node by node and write it:\n");
    buildAndWrite();

    std::printf("\n3. A failure leaves its line in the error state:\n");
    if (!QV_XDOMOpen("<ORDERS><ORDER></ORDERS>", 1))
        std::printf("   DOM status %d, code %d:\n   %s", Q_XMLGetDOMStatus(), Q_XMLGetErrCode(),
                    Q_XMLGetErrMsg());
    Q_XMLResetErrMsg();
    return 0;
}

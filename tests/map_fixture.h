// Loading mapping texts for the mapping tests, over a reference host with the
// dictionaries the cases use.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "frame/errors.h"
#include "host/reference_host.h"
#include "qvxml.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "xmap/loader.h"
#include "xmap/model.h"

namespace maptest {

constexpr const char* kPrefix = "QVXMAP/QVXML_extraction: ";

// The outcome of one load.
struct Load {
    qv::MappingModel model;
    int mode = 0;
    bool ok = false;
    int code = 0;
    std::string message;
};

class MapTest : public ::testing::Test {
protected:
    void SetUp() override {
        Q_XMLResetErrMsg();
        qvhost::Dictionary& orders = host.dictionary("ORDERS");
        orders.add("ID", 0).add("CUSTNO", 1).add("LINE_IDS", 2, true).add("DATE", 3, false, "D2/");
        orders.add("TOTAL", 4, false, "MD2").add("SEQ", 5).add("KEY", 6).add("CUST", 1);
        orders.add("ALT_IDS", 7, true).add("SUB_IDS", 8, true);
        orders.addVirtual("NOTE");
        orders.addRaw({"BROKEN", -3, false, "", -1});
        qvhost::Dictionary& lines = host.dictionary("ORDER_LINES");
        lines.add("ID", 0).add("ORDER_LINE", 1).add("QTY", 2).add("SEQ", 3).add("ORDER_ID", 4);
        lines.add("ALT_LINE", 5);
        host.install();
    }
    void TearDown() override { Q_XMLResetErrMsg(); }

    // Parses `xml` and loads it with `mode`; the document is closed again.
    Load load(const std::string& xml, int mode = QV_XMAP_READ) {
        Load r;
        r.mode = mode;
        QvHandle h = QV_XDOMOpen(xml.c_str(), 1);
        EXPECT_NE(h, nullptr) << "mapping text does not parse: " << xml;
        if (!h) return r;
        Q_XMLResetErrMsg();
        qv::HostTranscoder toHost;
        r.ok = qv::loadMapping(r.model, h, r.mode, toHost);
        r.code = Q_XMLGetErrCode();
        r.message = Q_XMLGetErrMsg();
        QV_XDOMClose(h);
        return r;
    }

    qvhost::ReferenceHost host;
};

// A QVXMAP document around `body`.
inline std::string qvxmap(const std::string& body) { return "<QVXMAP>" + body + "</QVXMAP>"; }

// One table class map of ORDERS with its record ID.
inline std::string ordersMap(const std::string& columns, const std::string& attrs = "") {
    return "<TABLECLASSMAP MapName=\"O\" TableName=\"ORDERS\" StartNode=\"/ORDERS/ORDER\"" + attrs +
           "><GenerateID Column=\"ID\"/>" + columns + "</TABLECLASSMAP>";
}

}  // namespace maptest

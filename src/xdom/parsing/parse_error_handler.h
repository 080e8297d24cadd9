// Turns the parser's errors into lines of the error state (29, 30); drops warnings.
// A quiet handler only keeps the code of the last error.
#pragma once

#include <xercesc/sax/ErrorHandler.hpp>

#include "frame/errors.h"

namespace qv {

class ParseErrorHandler : public XERCES_CPP_NAMESPACE::ErrorHandler {
public:
    explicit ParseErrorHandler(bool quiet = false) : quiet_(quiet) {}

    void warning(const XERCES_CPP_NAMESPACE::SAXParseException&) override {}
    void error(const XERCES_CPP_NAMESPACE::SAXParseException& e) override;
    void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException& e) override;
    void resetErrors() override {}

    int lastError() const { return lastError_; }

private:
    void reportParseError(Error code, const XERCES_CPP_NAMESPACE::SAXParseException& e);
    int lastError_ = 0;
    bool quiet_;
};

}  // namespace qv

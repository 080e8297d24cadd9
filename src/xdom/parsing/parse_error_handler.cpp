#include "xdom/parsing/parse_error_handler.h"

#include <xercesc/sax/SAXParseException.hpp>

#include "frame/errors.h"
#include "frame/transcode.h"

namespace qv {

void ParseErrorHandler::reportParseError(Error code, const xercesc::SAXParseException& e) {
    lastError_ = codeOf(code);
    if (quiet_) return;
    report(code, localText(e.getSystemId()).c_str(), static_cast<int>(e.getLineNumber()),
           static_cast<int>(e.getColumnNumber()), localText(e.getMessage()).c_str());
}

void ParseErrorHandler::error(const xercesc::SAXParseException& e) { reportParseError(Error::ParseError, e); }

void ParseErrorHandler::fatalError(const xercesc::SAXParseException& e) {
    reportParseError(Error::ParseFatalError, e);
}

}  // namespace qv

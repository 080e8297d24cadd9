#include "frame/parse_error_handler.h"

#include <xercesc/sax/SAXParseException.hpp>

#include "frame/errors.h"
#include "xdom/transcode.h"

namespace qv {

void ParseErrorHandler::reportParseError(int code, const xercesc::SAXParseException& e) {
    lastError_ = code;
    report(code, localText(e.getSystemId()).c_str(), static_cast<int>(e.getLineNumber()),
           static_cast<int>(e.getColumnNumber()), localText(e.getMessage()).c_str());
}

void ParseErrorHandler::error(const xercesc::SAXParseException& e) { reportParseError(29, e); }

void ParseErrorHandler::fatalError(const xercesc::SAXParseException& e) {
    reportParseError(30, e);
}

}  // namespace qv

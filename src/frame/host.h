// The host callback table registered with QV_XMLInitial.
#pragma once

#include "qvxml.h"

namespace qv {

struct HostCallbacks {
    QvDictOpenFn dictOpen = nullptr;
    QvDictDescribeFn dictDescribe = nullptr;
    QvDictCloseFn dictClose = nullptr;
    QvConvertFn convert = nullptr;
    QvExtractFn extract = nullptr;
    QvEncodingFn encoding = nullptr;  // may stay null
};

const HostCallbacks& host();

// The host's encoding record of this moment (callback 6), or null.
const QvHostEncoding* hostEncoding();

}  // namespace qv

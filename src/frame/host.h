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

// "" when callbacks 1 to 5 are registered; else why a mapping operation cannot run.
const char* hostCallbacksProblem();

// The host's encoding record of this moment (callback 6), or null.
const QvHostEncoding* hostEncoding();

}  // namespace qv

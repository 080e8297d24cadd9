#include "xdom/xslt/transform_options.h"

namespace qv {
namespace {

thread_local const TransformOptions* current = nullptr;

}  // namespace

UseTransformOptions::UseTransformOptions(const TransformOptions& options) : previous_(current) {
    current = &options;
}

UseTransformOptions::~UseTransformOptions() { current = previous_; }

const TransformOptions& transformOptions() {
    static const TransformOptions none;
    return current ? *current : none;
}

}  // namespace qv

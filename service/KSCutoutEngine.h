#pragma once

#include "KSEraserType.h"

#include <opencv2/core.hpp>

#include <functional>
#include <memory>
#include <string>

// Turns a picture into a grey mask: 255 where the subject is, 0 where the
// background is, values between on soft edges. The service gives every worker
// thread its own engine, so an implementation need not be thread-safe.
class KSCutoutEngine
{
public:
    virtual ~KSCutoutEngine() = default;

    // bgr: 8-bit, 3 channels. Returns an 8-bit one-channel mask of the same
    // size, or an empty Mat with *error set (error may be null).
    virtual cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) = 0;

    // Short identifier reported with every task the engine finished.
    virtual std::string name() const = 0;
};

using KSCutoutEngineFactory = std::function<std::unique_ptr<KSCutoutEngine>()>;

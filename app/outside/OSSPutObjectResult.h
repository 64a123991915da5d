#pragma once

#include <QByteArray>
#include <QString>

// What the storage answered to a successful put.
struct OSSPutObjectResult
{
    int httpResponseCode = 0;
    QString eTag;
    QString requestId;
    // The callback's reply as the storage passed it on; empty without a callback.
    QString serverReturnJsonString;
};

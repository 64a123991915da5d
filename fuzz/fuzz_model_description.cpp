// The description of a learned model (the JSON file beside it), which a
// user or the install script writes: any bytes are read to a description or
// to an error naming the field at fault.
#include "KSModelDescription.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto description = KSModelDescription::fromJson(json, QStringLiteral("/models/model.json"), &error);
    // Exactly one of the two comes back.
    if (description.has_value() == !error.isEmpty())
        __builtin_trap();
    return 0;
}

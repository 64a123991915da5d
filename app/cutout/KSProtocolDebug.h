#pragma once

#include <QString>
#include <QVariant>

// The replies the cut-out client prints for debugging, to the logging
// category "cutora.protocol", with storage secrets and tokens masked.
namespace KSProtocolDebug {

// A reply as text, secrets masked.
[[nodiscard]] QString describe(const QVariant &reply);
// One debug line: the prefix and the masked reply.
void print(const char *prefix, const QVariant &reply);

} // namespace KSProtocolDebug

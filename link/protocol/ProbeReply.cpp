#include "link/protocol/ProbeReply.h"

#include <algorithm>
#include <limits>

qint32 ProbeSampleOf(const QByteArray& reply) {
    constexpr qint64 kLargest = std::numeric_limits<qint32>::max();
    const qsizetype ok = reply.indexOf("OK");
    const qsizetype end = ok < 0 ? reply.size() : ok;
    qint64 value = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = reply[i];
        if (c < '0' || c > '9') continue;
        value = std::min(kLargest, value * 10 + (c - '0'));
    }
    return qint32(value);
}

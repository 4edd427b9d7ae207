#pragma once

#include <QByteArray>
#include <QtGlobal>

// The sample in the probe's answer to the request line "0,0,100;": the decimal digits that come
// before its "OK", line ends and any other characters between them skipped (a minus sign too),
// so "123\r\nOK\r\n", "123OK" and "\r\n123\r\nOK" all give 123, "OK" alone gives 0 and
// "12 34OK" gives 1234. Only the text before the first "OK" counts; a value beyond the signed
// 32-bit range saturates at its largest value instead of overflowing.
qint32 ProbeSampleOf(const QByteArray& reply);

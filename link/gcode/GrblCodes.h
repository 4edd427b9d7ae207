#pragma once

#include <QString>

// What GRBL 1.1's numbered answers mean, as its interface documentation lists them, in the
// program's language. Unknown numbers get a sentence that says so.

// The meaning of "error:N": why the line was refused.
QString grblErrorMeaning(int code);

// The meaning of "ALARM:N": why the controller stopped and locked itself.
QString grblAlarmMeaning(int code);

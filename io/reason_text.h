// A system's error text as the tail of one of our sentences: "No such file or directory." becomes
// "no such file or directory".
#pragma once

#include <QString>

namespace sensor {

inline QString reason_text(QString text) {
    if (!text.isEmpty()) text[0] = text[0].toLower();
    while (text.endsWith('.')) text.chop(1);
    return text;
}

}  // namespace sensor

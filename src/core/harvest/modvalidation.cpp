#include "core/harvest/modvalidation.h"

#include <QStringTokenizer>
#include <QStringView>

namespace tarnbell::core {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// One part as an octet: blanks, optional sign, digits, blanks. Digits are accumulated with
// an early stop above 255, so a long run of digits cannot overflow.
bool readOctet(QStringView part) {
    qsizetype i = 0;
    const qsizetype end = part.size();
    while (i < end && isBlank(part[i]))
        ++i;
    bool negative = false;
    if (i < end && (part[i] == u'+' || part[i] == u'-')) {
        negative = part[i] == u'-';
        ++i;
    }
    const qsizetype digitsStart = i;
    int value = 0;
    while (i < end && part[i] >= u'0' && part[i] <= u'9') {
        value = value * 10 + (part[i].unicode() - u'0');
        if (value > 255)
            return false;
        ++i;
    }
    if (i == digitsStart)
        return false;
    while (i < end && isBlank(part[i]))
        ++i;
    if (i != end)
        return false;
    return !negative || value == 0;
}

} // namespace

bool IsIPAddress(const QString& host) noexcept {
    int parts = 0;
    for (const QStringView part : QStringView(host).tokenize(u'.')) {
        ++parts;
        if (!readOctet(part))
            return false;
    }
    return parts == 4;
}

} // namespace tarnbell::core

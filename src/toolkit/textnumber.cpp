#include "toolkit/textnumber.h"

#include <QByteArray>

#include <clocale>
#include <cstdlib>

namespace ventara::toolkit {

float floatValue(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    const auto isDigit = [&](qsizetype at) {
        return at < n && text.at(at) >= u'0' && text.at(at) <= u'9';
    };
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0f;
    // An exponent counts only when it has digits: "3e" reads as 3.
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            i = j;
        }
    }
    // The scanned prefix is plain ASCII; read it in the C locale, since the window program
    // runs under the user's locale, where strtof may expect a decimal comma.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray number = text.mid(start, i - start).toLatin1();
    return strtof_l(number.constData(), nullptr, cLocale);
}

} // namespace ventara::toolkit

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

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads the trimmed text once the grammar has been checked, in the C locale (the window
// program runs under the user's, where a decimal comma may be expected).
double decimalValue(QStringView text) {
    return text.toLatin1().toDouble();
}

} // namespace

std::optional<double> wholeNumberValue(QStringView text) {
    const QStringView trimmed = text.trimmed();
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-'))
        ++i;
    if (i == trimmed.size())
        return std::nullopt;
    for (qsizetype k = i; k < trimmed.size(); ++k) {
        if (!isAsciiDigit(trimmed.at(k)))
            return std::nullopt;
    }
    return decimalValue(trimmed);
}

std::optional<double> numberValue(QStringView text) {
    const QStringView trimmed = text.trimmed();
    const qsizetype n = trimmed.size();
    qsizetype i = 0;
    if (i < n && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isAsciiDigit(trimmed.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && trimmed.at(i) == u'.') {
        ++i;
        while (i < n && isAsciiDigit(trimmed.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (trimmed.at(i) == u'e' || trimmed.at(i) == u'E')) {
        ++i;
        if (i < n && (trimmed.at(i) == u'+' || trimmed.at(i) == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isAsciiDigit(trimmed.at(i))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    return decimalValue(trimmed);
}

QString wholeNumberText(double value) {
    return QString::asprintf("%.0f", value);
}

} // namespace ventara::toolkit

#include "toolkit/profilecodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace ventara::toolkit {

namespace {

bool isNewline(char16_t c) {
    return c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\u0085' ||
           c == u'\u2028' || c == u'\u2029';
}

template <typename T> QString formatFloating(T value) {
    // Shortest round-trip digits, in fixed notation so that any reader takes them, and
    // always with a fractional part as the file format has always written them.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return {};
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(u'.'))
        text += u".0";
    return text;
}

// Optional sign and ASCII digits only, within int.
std::optional<int> parseInteger(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

// [+-]? (digits ('.' digits?)? | '.' digits) ([eE] [+-]? digits)?, ASCII only. Returns the
// text without a leading '+' (which std::from_chars does not take), or nullopt.
std::optional<std::string> decimalNumberText(QStringView text) {
    std::string ascii;
    ascii.reserve(static_cast<size_t>(text.size()));
    qsizetype i = 0;
    const auto digitsAt = [&](qsizetype from) {
        qsizetype end = from;
        while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
            ++end;
        return end - from;
    };
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            ascii += '-';
        ++i;
    }
    const qsizetype mantissaStart = i;
    const qsizetype integerDigits = digitsAt(i);
    i += integerDigits;
    qsizetype fractionDigits = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        fractionDigits = digitsAt(i);
        i += fractionDigits;
    }
    if (integerDigits + fractionDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        const qsizetype exponentDigits = digitsAt(i);
        if (exponentDigits == 0)
            return std::nullopt;
        i += exponentDigits;
    }
    if (i != text.size())
        return std::nullopt;
    for (qsizetype k = mantissaStart; k < text.size(); ++k)
        ascii += static_cast<char>(text[k].unicode());
    return ascii;
}

template <typename T>
std::optional<T> parseFloating(QStringView text, const std::optional<FieldRange> &range,
                               QString *error) {
    const auto ascii = decimalNumberText(text);
    if (!ascii) {
        if (error)
            *error = QStringLiteral("not a number");
        return std::nullopt;
    }
    T value{};
    const auto result = std::from_chars(ascii->data(), ascii->data() + ascii->size(), value,
                                        std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != ascii->data() + ascii->size() ||
        !std::isfinite(value)) {
        if (error)
            *error = QStringLiteral("number out of range");
        return std::nullopt;
    }
    if (range) {
        value =
            static_cast<T>(std::clamp(static_cast<double>(value), range->minimum, range->maximum));
    }
    return value;
}

// Decodes profile bytes: a byte-order mark selects UTF-8, UTF-16 or UTF-32, otherwise UTF-8.
std::optional<QString> decodeText(const QByteArray &bytes) {
    struct Bom {
        QByteArrayView mark;
        QStringConverter::Encoding encoding;
    };
    // UTF-32 LE before UTF-16 LE: its mark starts with the UTF-16 LE one.
    static const Bom boms[] = {
        {QByteArrayView("\xEF\xBB\xBF", 3), QStringConverter::Utf8},
        {QByteArrayView("\xFF\xFE\x00\x00", 4), QStringConverter::Utf32LE},
        {QByteArrayView("\x00\x00\xFE\xFF", 4), QStringConverter::Utf32BE},
        {QByteArrayView("\xFF\xFE", 2), QStringConverter::Utf16LE},
        {QByteArrayView("\xFE\xFF", 2), QStringConverter::Utf16BE},
    };
    QByteArrayView data(bytes);
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    for (const Bom &bom : boms) {
        if (data.startsWith(bom.mark)) {
            encoding = bom.encoding;
            data = data.sliced(bom.mark.size());
            break;
        }
    }
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(data);
    // A NUL is never typed into a field; it means binary data or UTF-16 without a mark,
    // whose newline count could match and yield garbage texts.
    if (decoder.hasError() || !QStringView(text).isValidUtf16() || text.contains(QChar(0)))
        return std::nullopt;
    return text;
}

} // namespace

QString formatFieldValue(const FieldValue &value) {
    if (const auto *i = std::get_if<int>(&value))
        return QString::number(*i);
    if (const auto *f = std::get_if<float>(&value))
        return formatFloating(*f);
    if (const auto *d = std::get_if<double>(&value))
        return formatFloating(*d);
    return std::get<QString>(value);
}

std::optional<FieldValue> parseFieldValue(const FieldSpec &field, QStringView text,
                                          QString *error) {
    const auto range = effectiveRange(field);
    switch (field.kind) {
    case FieldKind::State:
    case FieldKind::Index: {
        const auto value = parseInteger(text);
        if (!value) {
            if (error)
                *error = QStringLiteral("not an integer");
            return std::nullopt;
        }
        if (range && (*value < range->minimum || *value > range->maximum)) {
            if (error)
                *error = QStringLiteral("integer out of range");
            return std::nullopt;
        }
        return *value;
    }
    case FieldKind::Float:
        if (const auto value = parseFloating<float>(text, range, error))
            return *value;
        return std::nullopt;
    case FieldKind::Double:
        if (const auto value = parseFloating<double>(text, range, error))
            return *value;
        return std::nullopt;
    case FieldKind::Text:
        return text.toString();
    }
    return std::nullopt;
}

bool isStorableText(QStringView text) {
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return c.isNull() || isNewline(c.unicode()); }) &&
           text.isValidUtf16();
}

QByteArray encodeProfile(const ProfileFormat &format, const FieldValues &values) {
    if (values.size() != format.fields.size())
        return {};
    QString text;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const FieldValue &value = values.at(i);
        if (!holdsKind(value, format.fields.at(i).kind))
            return {};
        if (const auto *s = std::get_if<QString>(&value); s && !isStorableText(*s))
            return {};
        if (const auto *f = std::get_if<float>(&value); f && !std::isfinite(*f))
            return {};
        if (const auto *d = std::get_if<double>(&value); d && !std::isfinite(*d))
            return {};
        text += formatFieldValue(value);
        text += u'\n';
    }
    return text.toUtf8();
}

std::optional<FieldValues> decodeProfile(const ProfileFormat &format, const QByteArray &bytes,
                                         const FieldValues &current, QString *error) {
    const auto fail = [error](const QString &reason) -> std::optional<FieldValues> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (bytes.size() > kMaxProfileSize)
        return fail(QStringLiteral("file too large for a profile"));
    const auto text = decodeText(bytes);
    if (!text)
        return fail(QStringLiteral("text is not valid UTF-8 (or the encoding its byte-order "
                                   "mark names)"));

    // Count before splitting, so that a file of many short lines costs no list of parts.
    const qsizetype newlines =
        std::count_if(text->cbegin(), text->cend(), [](QChar c) { return isNewline(c.unicode()); });
    if (newlines > format.fields.size() || !format.acceptedValueCounts.contains(newlines)) {
        QStringList accepted;
        for (const int count : format.acceptedValueCounts)
            accepted << QString::number(count);
        return fail(QStringLiteral("%1 value lines where %2 expected")
                        .arg(newlines)
                        .arg(accepted.join(QStringLiteral(" or "))));
    }
    const int valueCount = static_cast<int>(newlines);

    QList<QStringView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text->size() && parts.size() < valueCount; ++i) {
        if (isNewline(text->at(i).unicode())) {
            parts.append(QStringView(*text).mid(start, i - start));
            start = i + 1;
        }
    }

    FieldValues result =
        current.size() == format.fields.size() ? current : FieldValues(format.fields);
    Q_ASSERT_X(current.size() == format.fields.size(), "decodeProfile",
               "current values do not belong to this format");
    QList<FieldValue> parsed;
    parsed.reserve(valueCount);
    for (int i = 0; i < valueCount; ++i) {
        const FieldSpec &field = format.fields.at(i);
        QString reason;
        const auto value = parseFieldValue(field, parts.at(i), &reason);
        if (!value)
            return fail(QStringLiteral("line %1 (%2): %3").arg(i + 1).arg(field.key, reason));
        parsed.append(*value);
    }
    for (int i = 0; i < valueCount; ++i)
        result.set(i, parsed.at(i));
    return result;
}

QString profileName(const ProfileFormat &format, const QString &profilePath) {
    QStringView name(profilePath);
    name = name.mid(name.lastIndexOf(u'/') + 1);
    const QString suffix = u'.' + format.extension;
    if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
        name.chop(suffix.size());
    return name.toString();
}

QString profileWindowTitle(const ProfileFormat &format, const QString &profilePath, bool changed) {
    QString title = format.baseTitle;
    if (!profilePath.isEmpty())
        title += u" - " + profileName(format, profilePath);
    if (changed)
        title += u'*';
    return title;
}

} // namespace ventara::toolkit

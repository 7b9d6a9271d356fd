#include "toolkit/fieldtable.h"

#include <QSet>

#include <cmath>

namespace ventara::toolkit {

namespace {

// The value converted to the alternative of `kind` where that loses nothing a control
// could show (numbers between the numeric kinds), or nullopt.
std::optional<FieldValue> coerce(const FieldValue &value, FieldKind kind) {
    switch (kind) {
    case FieldKind::State:
    case FieldKind::Index:
        if (std::holds_alternative<int>(value))
            return value;
        return std::nullopt;
    case FieldKind::Float:
        if (const auto *f = std::get_if<float>(&value))
            return *f;
        if (const auto *d = std::get_if<double>(&value))
            return static_cast<float>(*d);
        if (const auto *i = std::get_if<int>(&value))
            return static_cast<float>(*i);
        return std::nullopt;
    case FieldKind::Double:
        if (const auto *d = std::get_if<double>(&value))
            return *d;
        if (const auto *f = std::get_if<float>(&value))
            return static_cast<double>(*f);
        if (const auto *i = std::get_if<int>(&value))
            return static_cast<double>(*i);
        return std::nullopt;
    case FieldKind::Text:
        if (std::holds_alternative<QString>(value))
            return value;
        return std::nullopt;
    }
    return std::nullopt;
}

double numericValue(const FieldValue &value) {
    if (const auto *i = std::get_if<int>(&value))
        return *i;
    if (const auto *f = std::get_if<float>(&value))
        return *f;
    if (const auto *d = std::get_if<double>(&value))
        return *d;
    return 0;
}

QString kindName(FieldKind kind) {
    switch (kind) {
    case FieldKind::State:
        return QStringLiteral("state");
    case FieldKind::Index:
        return QStringLiteral("index");
    case FieldKind::Float:
        return QStringLiteral("float");
    case FieldKind::Double:
        return QStringLiteral("double");
    case FieldKind::Text:
        return QStringLiteral("text");
    }
    return {};
}

} // namespace

int ProfileFormat::indexOf(QStringView key) const {
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).key == key)
            return i;
    }
    return -1;
}

QString ProfileFormat::profileKindName() const {
    return profileKind.isEmpty() ? baseTitle.section(u' ', 0, 0) : profileKind;
}

QString fieldEncodingText(const FieldSpec &field) {
    if (field.kind == FieldKind::State)
        return field.description + QStringLiteral(" (1 on, 0 off)");
    if (field.kind == FieldKind::Index && !field.items.isEmpty()) {
        QStringList items;
        for (qsizetype i = 0; i < field.items.size(); ++i)
            items << QString::number(i) + u' ' + field.items.at(i);
        return field.description + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    return field.description;
}

std::optional<FieldRange> effectiveRange(const FieldSpec &field) {
    if (field.range)
        return field.range;
    if (field.kind == FieldKind::State)
        return FieldRange{0, 1};
    return std::nullopt;
}

bool holdsKind(const FieldValue &value, FieldKind kind) {
    switch (kind) {
    case FieldKind::State:
    case FieldKind::Index:
        return std::holds_alternative<int>(value);
    case FieldKind::Float:
        return std::holds_alternative<float>(value);
    case FieldKind::Double:
        return std::holds_alternative<double>(value);
    case FieldKind::Text:
        return std::holds_alternative<QString>(value);
    }
    return false;
}

QStringList fieldTableProblems(const ProfileFormat &format) {
    QStringList problems;
    QSet<QString> keys;
    for (int i = 0; i < format.fields.size(); ++i) {
        const FieldSpec &field = format.fields.at(i);
        const QString where = QStringLiteral("field %1 (%2)").arg(i + 1).arg(field.key);
        if (field.key.isEmpty())
            problems << where + QStringLiteral(" has no key");
        else if (keys.contains(field.key))
            problems << where + QStringLiteral(" repeats a key");
        keys.insert(field.key);

        const auto value = coerce(field.defaultValue, field.kind);
        if (!value) {
            problems << where + QStringLiteral(" has a default that is not a ") +
                            kindName(field.kind);
            continue;
        }
        if (field.range && field.kind == FieldKind::Text)
            problems << where + QStringLiteral(" is a text with a range");
        if (const auto range = effectiveRange(field); range && field.kind != FieldKind::Text) {
            const double v = numericValue(*value);
            if (!(range->minimum <= range->maximum))
                problems << where + QStringLiteral(" has an empty range");
            else if (!(v >= range->minimum && v <= range->maximum))
                problems << where + QStringLiteral(" has a default outside its range");
        }
        if ((field.kind == FieldKind::Float || field.kind == FieldKind::Double) &&
            !std::isfinite(numericValue(*value)))
            problems << where + QStringLiteral(" has a default that is not finite");
        if (!field.items.isEmpty() &&
            (field.kind != FieldKind::Index ||
             (field.range && field.range->maximum + 1 != double(field.items.size()))))
            problems << where + QStringLiteral(" has items that do not match its kind or range");
        if (field.description.contains(QStringLiteral("1 on, 0 off")))
            problems << where + QStringLiteral(" describes the profile's encoding instead of the "
                                               "setting (the command line's help adds it)");
    }

    const QList<int> &counts = format.acceptedValueCounts;
    if (counts.isEmpty() || counts.first() != format.fields.size())
        problems << QStringLiteral("the first accepted layout is not the full field count");
    QSet<int> seen;
    for (const int count : counts) {
        if (count < 1 || count > format.fields.size())
            problems << QStringLiteral("accepted layout of %1 values is out of bounds").arg(count);
        if (seen.contains(count))
            problems << QStringLiteral("accepted layout of %1 values is repeated").arg(count);
        seen.insert(count);
    }
    if (format.extension.isEmpty() || format.extension.contains(u'.'))
        problems << QStringLiteral("the extension must be non-empty and without a dot");
    return problems;
}

FieldValues::FieldValues(const QList<FieldSpec> &fields)
    : m_fields(fields) {
    m_values.reserve(fields.size());
    for (const FieldSpec &field : fields) {
        const auto value = coerce(field.defaultValue, field.kind);
        Q_ASSERT_X(value, "FieldValues", "default value of the wrong kind");
        if (value) {
            m_values.append(*value);
            continue;
        }
        switch (field.kind) {
        case FieldKind::State:
        case FieldKind::Index:
            m_values.append(0);
            break;
        case FieldKind::Float:
            m_values.append(0.0f);
            break;
        case FieldKind::Double:
            m_values.append(0.0);
            break;
        case FieldKind::Text:
            m_values.append(QString());
            break;
        }
    }
}

int FieldValues::indexOf(QStringView key) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).key == key)
            return i;
    }
    return -1;
}

const FieldValue &FieldValues::value(QStringView key) const {
    static const FieldValue none;
    const int i = indexOf(key);
    Q_ASSERT_X(i >= 0, "FieldValues::value", "unknown key");
    return i >= 0 ? m_values.at(i) : none;
}

bool FieldValues::set(qsizetype i, const FieldValue &value) {
    if (i < 0 || i >= m_values.size())
        return false;
    const auto converted = coerce(value, m_fields.at(i).kind);
    if (!converted)
        return false;
    m_values[i] = *converted;
    return true;
}

int FieldValues::checkedIndex(QStringView key, FieldKind kind) const {
    const int i = indexOf(key);
    Q_ASSERT_X(i >= 0, "FieldValues", "unknown key");
    Q_ASSERT_X(i < 0 || m_fields.at(i).kind == kind, "FieldValues", "field of another kind");
    return i >= 0 && m_fields.at(i).kind == kind ? i : -1;
}

template <typename T> T FieldValues::typed(QStringView key, FieldKind kind) const {
    const int i = checkedIndex(key, kind);
    if (i < 0)
        return T();
    const T *value = std::get_if<T>(&m_values.at(i));
    return value ? *value : T();
}

void FieldValues::setTyped(QStringView key, FieldKind kind, const FieldValue &value) {
    const int i = checkedIndex(key, kind);
    if (i >= 0)
        set(i, value);
}

int FieldValues::state(QStringView key) const {
    return typed<int>(key, FieldKind::State);
}

int FieldValues::index(QStringView key) const {
    return typed<int>(key, FieldKind::Index);
}

float FieldValues::number(QStringView key) const {
    return typed<float>(key, FieldKind::Float);
}

double FieldValues::real(QStringView key) const {
    return typed<double>(key, FieldKind::Double);
}

QString FieldValues::text(QStringView key) const {
    return typed<QString>(key, FieldKind::Text);
}

void FieldValues::setState(QStringView key, int value) {
    setTyped(key, FieldKind::State, value);
}

void FieldValues::setIndex(QStringView key, int value) {
    setTyped(key, FieldKind::Index, value);
}

void FieldValues::setNumber(QStringView key, float value) {
    setTyped(key, FieldKind::Float, value);
}

void FieldValues::setReal(QStringView key, double value) {
    setTyped(key, FieldKind::Double, value);
}

void FieldValues::setText(QStringView key, const QString &value) {
    setTyped(key, FieldKind::Text, value);
}

bool operator==(const FieldValues &a, const FieldValues &b) {
    if (a.m_fields.size() != b.m_fields.size())
        return false;
    for (qsizetype i = 0; i < a.m_fields.size(); ++i) {
        if (a.m_fields.at(i).key != b.m_fields.at(i).key ||
            a.m_fields.at(i).kind != b.m_fields.at(i).kind)
            return false;
    }
    return a.m_values == b.m_values;
}

} // namespace ventara::toolkit

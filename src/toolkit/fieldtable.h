#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace ventara::toolkit {

// How a setting is held by its control and stored in a profile.
enum class FieldKind {
    State,  // check box or radio button: 0 off, 1 on (int)
    Index,  // pop-up button: 0-based selected item, -1 for none (int)
    Float,  // slider or stepper: single-precision value (float)
    Double, // a double-precision component, such as a colour channel (double)
    Text,   // text field: the text as typed (QString)
};

// One value of a field, held in the alternative that matches its kind: int for State and
// Index, float for Float, double for Double, QString for Text.
using FieldValue = std::variant<int, float, double, QString>;

// Inclusive limits of a numeric field. Integers (State, Index) outside them are refused
// when read from a profile; Float and Double values are clamped to them, as the control
// that shows them would do.
struct FieldRange {
    double minimum = 0;
    double maximum = 0;
};

// One setting of a tool, described once: the profile codec, resetting to defaults,
// validation, the command line and tests all read it.
struct FieldSpec {
    QString key; // the control's object name, e.g. "radioConsecutivePageSplit"
    FieldKind kind = FieldKind::Text;
    FieldValue defaultValue;         // of `kind`; Float/Double also take int, float, double
    std::optional<FieldRange> range; // State fields without a range are limited to 0..1
    // One line, in the words of the window, for its tooltip and --help. Not how the profile
    // file encodes the value: fieldEncodingText() adds that for the command line's help.
    QString description;
    QStringList items = {}; // an Index field's choices, in index order, as the window names them
};

// The description of `field` followed by how a profile file holds it, for the command line's
// help: "(1 on, 0 off)" for a State field, "0 JPG, 1 JPEG, ..." for an Index field with items.
QString fieldEncodingText(const FieldSpec &field);

// A tool's profile file: its fields in file order and the layouts it accepts.
struct ProfileFormat {
    QString baseTitle;       // window title without profile name, e.g. "Split PDF Documents"
    QString extension;       // without the dot, e.g. "vxs"
    QString saveAsFolderKey; // user-defaults key of the folder last used by save-as
    QString loadFolderKey;   // user-defaults key of the folder last used by load
    QList<FieldSpec> fields;
    // Number of values of each accepted layout, the full one (fields.size()) first. A
    // shorter layout of n values holds the first n fields; a file of n values has n + 1
    // parts after splitting at newlines.
    QList<int> acceptedValueCounts;
    // What a user calls the tool's profiles, without "profile": "Split" gives the panel
    // titles "Save Split Profile" and "Load Split Profile" and the filter "Split profiles".
    // Empty: the first word of the base title.
    QString profileKind = {};

    // profileKind, or the first word of the base title when it is empty.
    QString profileKindName() const;

    // "profile." followed by the extension.
    QString defaultFileName() const { return QStringLiteral("profile.") + extension; }

    // Position of the field with this key, or -1.
    int indexOf(QStringView key) const;
};

// The "[min, max]" limits that apply to a field: its own range, 0..1 for a State field
// without one, none otherwise.
std::optional<FieldRange> effectiveRange(const FieldSpec &field);

// Whether `value` holds the alternative that `kind` uses.
bool holdsKind(const FieldValue &value, FieldKind kind);

// Consistency problems of a format, one sentence each; empty when it is sound. Checks
// unique non-empty keys, defaults of the right kind and inside their ranges, an Index
// field's items against its range, descriptions that speak to a user (not of "1 on, 0 off"),
// and accepted layouts (the full count first, every count between 1 and the field count, no
// repeats).
// Meant for tests of each tool's table.
QStringList fieldTableProblems(const ProfileFormat &format);

// A tool's settings: one value per field, in field order. Built from the defaults of the
// field table and read by key through typed accessors. Asking for an unknown key or for
// the wrong kind is a programming error: it asserts in debug builds and returns 0, 0.0 or
// an empty text otherwise, and the setters then do nothing.
//
// A plain value (copyable, implicitly shared); not synchronised.
class FieldValues {
public:
    FieldValues() = default;

    // The default value of every field.
    explicit FieldValues(const QList<FieldSpec> &fields);
    static FieldValues defaults(const ProfileFormat &format) { return FieldValues(format.fields); }

    const QList<FieldSpec> &fields() const { return m_fields; }
    qsizetype size() const { return m_values.size(); }
    const FieldValue &at(qsizetype i) const { return m_values.at(i); }
    const FieldValue &value(QStringView key) const;
    int indexOf(QStringView key) const;

    // Replaces value i. A number is converted for Float and Double fields; any other
    // mismatch with the field's kind is refused (returns false, nothing changes).
    bool set(qsizetype i, const FieldValue &value);

    int state(QStringView key) const;    // State field
    int index(QStringView key) const;    // Index field
    float number(QStringView key) const; // Float field
    double real(QStringView key) const;  // Double field
    QString text(QStringView key) const; // Text field

    void setState(QStringView key, int value);
    void setIndex(QStringView key, int value);
    void setNumber(QStringView key, float value);
    void setReal(QStringView key, double value);
    void setText(QStringView key, const QString &value);

    // Same fields and equal values (floats compared exactly).
    friend bool operator==(const FieldValues &a, const FieldValues &b);

private:
    int checkedIndex(QStringView key, FieldKind kind) const;
    template <typename T> T typed(QStringView key, FieldKind kind) const;
    void setTyped(QStringView key, FieldKind kind, const FieldValue &value);

    QList<FieldSpec> m_fields;
    QList<FieldValue> m_values;
};

} // namespace ventara::toolkit

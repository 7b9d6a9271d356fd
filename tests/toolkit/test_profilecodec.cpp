#include "toolkit/profilecodec.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(FieldValue)
Q_DECLARE_METATYPE(FieldKind)
Q_DECLARE_METATYPE(std::optional<FieldRange>)

namespace {

// Example tables, as the split and convert tools declare them.
ProfileFormat splitFormat() {
    return {u"Split PDF Documents"_s,
            u"vxs"_s,
            u"SaveProfileAsDestinationPathSplit"_s,
            u"LoadProfileDestinationPathSplit"_s,
            {
                {u"radioConsecutivePageSplit"_s, FieldKind::State, 1, {}, u"Chunks"_s},
                {u"textFieldPagesPerInterval"_s, FieldKind::Text, u"1"_s, {}, u"Pages"_s},
                {u"stepperPagesPerInterval"_s, FieldKind::Float, 1.0f, {}, u"Pages"_s},
                {u"radioIntervalSplit"_s, FieldKind::State, 0, {}, u"Intervals"_s},
                {u"textFieldPagesIntervals"_s, FieldKind::Text, u"[1-4],5,[6-9]"_s, {}, u"P"_s},
                {u"textFieldNames"_s,
                 FieldKind::Text,
                 u"[FileName](Page[IntervalIndex])"_s,
                 {},
                 u"Names"_s},
            },
            {6}};
}

ProfileFormat convertFormat() {
    const auto state = [](const QString &key, int value) {
        return FieldSpec{key, FieldKind::State, value, {}, key};
    };
    const auto text = [](const QString &key, const QString &value) {
        return FieldSpec{key, FieldKind::Text, value, {}, key};
    };
    const auto number = [](const QString &key, float value, double min, double max) {
        return FieldSpec{key, FieldKind::Float, value, FieldRange{min, max}, key};
    };
    return {u"Convert PDF Documents to Images"_s,
            u"p2i"_s,
            u"SaveProfileAsDestinationPathPdfToImage"_s,
            u"LoadProfileDestinationPathPdfToImage"_s,
            {
                {u"comboImageFormat"_s, FieldKind::Index, 0, FieldRange{-1, 9}, u"Format"_s},
                number(u"sliderQuality"_s, 80, 1, 100),
                text(u"textFieldQuality"_s, u"80"_s),
                state(u"checkMultipageImage"_s, 1),
                state(u"radioMultipageForEachPDF"_s, 1),
                state(u"radioMultipageWithAllTheImages"_s, 0),
                state(u"radioPercentOfSourcePDF"_s, 1),
                text(u"textFieldPercentOfSourcePDF"_s, u"100"_s),
                number(u"stepperPercentOfSourcePDF"_s, 100, 0, 1000),
                state(u"radioFixedWidthAndHeight"_s, 0),
                text(u"textFieldWidth"_s, u"0"_s),
                text(u"textFieldHeight"_s, u"0"_s),
                text(u"textFieldNames"_s, u"[FileName](Page[PageNumber])"_s),
                text(u"textFieldDPI"_s, u"72"_s),
                number(u"stepperDPI"_s, 72, 1, 1000000),
                state(u"checkPageIntervals"_s, 0),
                text(u"textFieldPageIntervals"_s, u"[1-3],5,[7-9]"_s),
            },
            {17}};
}

// A table of `count` text fields "f1".."fN" with default "dK", accepting `layouts`.
ProfileFormat textFormat(int count, const QList<int> &layouts) {
    ProfileFormat format{u"T"_s, u"vxt"_s, u"S"_s, u"L"_s, {}, layouts};
    for (int i = 1; i <= count; ++i)
        format.fields.append({u"f%1"_s.arg(i), FieldKind::Text, u"d%1"_s.arg(i), {}, {}});
    return format;
}

// `count` lines "vK", each ended by a line feed.
QByteArray lines(int count) {
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "v" + QByteArray::number(i) + "\n";
    return bytes;
}

const QByteArray kSplitDefaults = "1\n1\n1.0\n0\n[1-4],5,[6-9]\n[FileName](Page[IntervalIndex])\n";
const QByteArray kConvertDefaults = "0\n80.0\n80\n1\n1\n0\n1\n100\n100.0\n0\n0\n0\n"
                                    "[FileName](Page[PageNumber])\n72\n72.0\n0\n[1-3],5,[7-9]\n";

} // namespace

class TestProfileCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tablesAreSound();
    void tableProblemsAreFound();
    void defaultsEncodeByteExact();
    void valuesByKey();
    void formatValue_data();
    void formatValue();
    void floatsRoundTripExactly();
    void parseValue_data();
    void parseValue();
    void roundTrip();
    void rejectedFiles_data();
    void rejectedFiles();
    void otherNewlinesSeparateValues();
    void byteOrderMarks_data();
    void byteOrderMarks();
    void prefixLayouts_data();
    void prefixLayouts();
    void badValueChangesNothing();
    void unstorableValuesAreNotEncoded();
    void titles();
};

void TestProfileCodec::tablesAreSound() {
    QCOMPARE(fieldTableProblems(splitFormat()), QStringList());
    QCOMPARE(fieldTableProblems(convertFormat()), QStringList());
    QCOMPARE(splitFormat().defaultFileName(), u"profile.vxs"_s);
}

void TestProfileCodec::tableProblemsAreFound() {
    ProfileFormat format = splitFormat();
    format.fields[3].key = format.fields[0].key;
    format.fields[1].defaultValue = 5;
    format.fields[0].defaultValue = 2;
    format.acceptedValueCounts = {5, 6, 6};
    format.extension = u".vxs"_s;
    const QStringList problems = fieldTableProblems(format);
    QCOMPARE(problems.size(), 6);
    QVERIFY(problems.at(0).contains(u"outside its range"_s)); // state 2
    QVERIFY(problems.at(1).contains(u"not a text"_s));
    QVERIFY(problems.at(2).contains(u"repeats a key"_s));
    QVERIFY(problems.at(3).contains(u"full field count"_s));
    QVERIFY(problems.at(4).contains(u"repeated"_s));
    QVERIFY(problems.at(5).contains(u"extension"_s));
}

void TestProfileCodec::defaultsEncodeByteExact() {
    QCOMPARE(encodeProfile(splitFormat(), FieldValues::defaults(splitFormat())), kSplitDefaults);
    QCOMPARE(encodeProfile(convertFormat(), FieldValues::defaults(convertFormat())),
             kConvertDefaults);
}

void TestProfileCodec::valuesByKey() {
    FieldValues values = FieldValues::defaults(splitFormat());
    QCOMPARE(values.state(u"radioConsecutivePageSplit"), 1);
    QCOMPARE(values.number(u"stepperPagesPerInterval"), 1.0f);
    QCOMPARE(values.text(u"textFieldNames"), u"[FileName](Page[IntervalIndex])"_s);
    values.setNumber(u"stepperPagesPerInterval", 2.5f);
    values.setText(u"textFieldPagesIntervals", u"7"_s);
    QCOMPARE(values.number(u"stepperPagesPerInterval"), 2.5f);
    QCOMPARE(values.text(u"textFieldPagesIntervals"), u"7"_s);
    // Values of another kind are refused; numbers convert between the numeric kinds.
    QVERIFY(!values.set(0, u"1"_s));
    QVERIFY(!values.set(4, 1));
    QVERIFY(values.set(2, 3.0));
    QVERIFY(std::holds_alternative<float>(values.at(2)));
    QVERIFY(values != FieldValues::defaults(splitFormat()));
}

void TestProfileCodec::formatValue_data() {
    QTest::addColumn<FieldValue>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("state") << FieldValue(1) << u"1"_s;
    QTest::newRow("no selection") << FieldValue(-1) << u"-1"_s;
    QTest::newRow("one") << FieldValue(1.0f) << u"1.0"_s;
    QTest::newRow("eighty") << FieldValue(80.0f) << u"80.0"_s;
    QTest::newRow("half") << FieldValue(0.5f) << u"0.5"_s;
    QTest::newRow("a tenth, shortest") << FieldValue(0.1f) << u"0.1"_s;
    QTest::newRow("a third, shortest") << FieldValue(1.0f / 3) << u"0.33333334"_s;
    QTest::newRow("negative") << FieldValue(-10000.0f) << u"-10000.0"_s;
    QTest::newRow("negative zero") << FieldValue(-0.0f) << u"-0.0"_s;
    QTest::newRow("small, no exponent") << FieldValue(1e-5f) << u"0.00001"_s;
    QTest::newRow("large, no exponent") << FieldValue(1e10f) << u"10000000000.0"_s;
    QTest::newRow("double channel") << FieldValue(0.1) << u"0.1"_s;
    QTest::newRow("double third") << FieldValue(1.0 / 3) << u"0.3333333333333333"_s;
    QTest::newRow("double one") << FieldValue(1.0) << u"1.0"_s;
    QTest::newRow("text as is") << FieldValue(u" a\tb "_s) << u" a\tb "_s;
}

void TestProfileCodec::formatValue() {
    QFETCH(FieldValue, value);
    QFETCH(QString, text);
    QCOMPARE(formatFieldValue(value), text);
}

void TestProfileCodec::floatsRoundTripExactly() {
    const FieldSpec floatField{u"f"_s, FieldKind::Float, 0.0f, {}, {}};
    const FieldSpec doubleField{u"d"_s, FieldKind::Double, 0.0, {}, {}};
    QRandomGenerator random(7);
    QList<float> floats = {std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
                           std::numeric_limits<float>::denorm_min(), 16777217.0f, 0.3f};
    for (int i = 0; i < 20000; ++i) {
        const quint32 bits = random.generate();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f))
            floats.append(f);
    }
    for (const float f : floats) {
        const QString text = formatFieldValue(f);
        QVERIFY2(text.contains(u'.') && !text.contains(u'e'), qPrintable(text));
        const auto back = parseFieldValue(floatField, text);
        QVERIFY2(back, qPrintable(text));
        QVERIFY2(std::memcmp(&std::get<float>(*back), &f, sizeof f) == 0, qPrintable(text));
        // The same digits read as a double give a double that narrows back to f.
        QCOMPARE(static_cast<float>(std::get<double>(*parseFieldValue(doubleField, text))), f);
    }
    for (int i = 0; i < 5000; ++i) {
        const quint64 bits = random.generate64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d))
            continue;
        const auto back = parseFieldValue(doubleField, formatFieldValue(d));
        QVERIFY(back && std::memcmp(&std::get<double>(*back), &d, sizeof d) == 0);
    }
}

void TestProfileCodec::parseValue_data() {
    QTest::addColumn<FieldKind>("kind");
    QTest::addColumn<std::optional<FieldRange>>("range");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<FieldValue>("value");

    const std::optional<FieldRange> none;
    const std::optional<FieldRange> index = FieldRange{-1, 9};
    const std::optional<FieldRange> percent = FieldRange{0, 1000};
    const std::optional<FieldRange> channel = FieldRange{0, 1};
    const auto S = FieldKind::State;
    const auto I = FieldKind::Index;
    const auto F = FieldKind::Float;
    const auto D = FieldKind::Double;
    const FieldValue bad;

    QTest::newRow("state on") << S << none << u"1"_s << true << FieldValue(1);
    QTest::newRow("state with sign") << S << none << u"+1"_s << true << FieldValue(1);
    QTest::newRow("state leading zero") << S << none << u"01"_s << true << FieldValue(1);
    QTest::newRow("state minus zero") << S << none << u"-0"_s << true << FieldValue(0);
    QTest::newRow("state 2 is no state") << S << none << u"2"_s << false << bad;
    QTest::newRow("state leading blank") << S << none << u" 1"_s << false << bad;
    QTest::newRow("state trailing blank") << S << none << u"1 "_s << false << bad;
    QTest::newRow("state as float") << S << none << u"1.0"_s << false << bad;
    QTest::newRow("state empty") << S << none << u""_s << false << bad;
    QTest::newRow("state letters") << S << none << u"abc"_s << false << bad;
    QTest::newRow("state hex") << S << none << u"0x1"_s << false << bad;
    QTest::newRow("state Arabic digit") << S << none << u"\u0661"_s << false << bad;
    QTest::newRow("index none") << I << index << u"-1"_s << true << FieldValue(-1);
    QTest::newRow("index last") << I << index << u"9"_s << true << FieldValue(9);
    QTest::newRow("index past the items") << I << index << u"10"_s << false << bad;
    QTest::newRow("index below none") << I << index << u"-2"_s << false << bad;
    QTest::newRow("unranged int min")
        << I << none << u"-2147483648"_s << true << FieldValue(std::numeric_limits<int>::min());
    QTest::newRow("int overflow") << I << none << u"2147483648"_s << false << bad;
    QTest::newRow("huge integer") << I << none << u"99999999999999999999999"_s << false << bad;
    QTest::newRow("float integer") << F << none << u"80"_s << true << FieldValue(80.0f);
    QTest::newRow("float fraction") << F << none << u"0.5"_s << true << FieldValue(0.5f);
    QTest::newRow("float no integer part") << F << none << u".5"_s << true << FieldValue(0.5f);
    QTest::newRow("float no fraction digits") << F << none << u"5."_s << true << FieldValue(5.0f);
    QTest::newRow("float exponent") << F << none << u"1e+2"_s << true << FieldValue(100.0f);
    QTest::newRow("float signed") << F << none << u"+1.5"_s << true << FieldValue(1.5f);
    QTest::newRow("float clamped high") << F << percent << u"5000"_s << true << FieldValue(1000.0f);
    QTest::newRow("float clamped low") << F << percent << u"-3.5"_s << true << FieldValue(0.0f);
    QTest::newRow("float nan") << F << none << u"nan"_s << false << bad;
    QTest::newRow("float NaN") << F << none << u"NaN"_s << false << bad;
    QTest::newRow("float inf") << F << none << u"inf"_s << false << bad;
    QTest::newRow("float -infinity") << F << none << u"-infinity"_s << false << bad;
    QTest::newRow("float beyond single precision") << F << none << u"1e39"_s << false << bad;
    QTest::newRow("float comma") << F << none << u"1,5"_s << false << bad;
    QTest::newRow("float dot alone") << F << none << u"."_s << false << bad;
    QTest::newRow("float bare exponent") << F << none << u"1e"_s << false << bad;
    QTest::newRow("float hex") << F << none << u"0x1p3"_s << false << bad;
    QTest::newRow("float blank") << F << none << u" 1.0"_s << false << bad;
    QTest::newRow("float empty") << F << none << u""_s << false << bad;
    QTest::newRow("double channel") << D << channel << u"0.25"_s << true << FieldValue(0.25);
    QTest::newRow("double clamped") << D << channel << u"1.5"_s << true << FieldValue(1.0);
    QTest::newRow("double beyond range") << D << none << u"1e309"_s << false << bad;
    QTest::newRow("text untrimmed")
        << FieldKind::Text << none << u"  a b "_s << true << FieldValue(u"  a b "_s);
}

void TestProfileCodec::parseValue() {
    QFETCH(FieldKind, kind);
    QFETCH(std::optional<FieldRange>, range);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(FieldValue, value);

    const FieldSpec field{u"k"_s, kind, value, range, {}};
    QString error;
    const auto parsed = parseFieldValue(field, text, &error);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QVERIFY(*parsed == value);
    else
        QVERIFY(!error.isEmpty());
}

void TestProfileCodec::roundTrip() {
    const ProfileFormat format = convertFormat();
    FieldValues values = FieldValues::defaults(format);
    values.setIndex(u"comboImageFormat", 8);
    values.setNumber(u"sliderQuality", 55.5f);
    values.setState(u"checkMultipageImage", 0);
    values.setText(u"textFieldPercentOfSourcePDF", u""_s);
    values.setNumber(u"stepperPercentOfSourcePDF", 0.1f);
    values.setText(u"textFieldNames", u"  Copyright © [PageNumber] 文件 \tx "_s);
    values.setNumber(u"stepperDPI", 1000000);
    values.setText(u"textFieldPageIntervals", u"[1-2],\t3"_s);

    const QByteArray bytes = encodeProfile(format, values);
    QCOMPARE(bytes.count('\n'), 17);
    QVERIFY(bytes.endsWith('\n'));
    QString error;
    const auto loaded = decodeProfile(format, bytes, FieldValues::defaults(format), &error);
    QVERIFY2(loaded, qPrintable(error));
    QVERIFY(*loaded == values);
    QCOMPARE(encodeProfile(format, *loaded), bytes);
}

void TestProfileCodec::rejectedFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason"); // part of the error text

    const QByteArray defaults = kConvertDefaults;
    const auto with = [&](const char *before, const QByteArray &after) {
        return QByteArray(defaults).replace(before, after);
    };
    const QString count = u"value lines where 17 expected"_s;
    const QString encoding = u"UTF-8"_s;

    QTest::newRow("CR LF line ends") << QByteArray(defaults).replace("\n", "\r\n") << count;
    QTest::newRow("text holding a line break")
        << with("[FileName](Page", "[FileName]\n(Page") << count;
    QTest::newRow("text holding a carriage return")
        << with("[FileName](Page", "[FileName]\r(Page") << count;
    QTest::newRow("16 values") << defaults.left(defaults.lastIndexOf("[1-3]"))
                               << u"16 value lines"_s;
    QTest::newRow("18 values") << defaults + "x\n" << u"18 value lines"_s;
    QTest::newRow("no final line feed") << defaults.chopped(1) << count;
    QTest::newRow("empty line at the end") << defaults + "\n" << count;
    QTest::newRow("empty file") << QByteArray() << u"0 value lines"_s;
    QTest::newRow("split profile") << kSplitDefaults << count;
    QTest::newRow("float that is no number")
        << with("\n72.0\n", "\nabc\n") << u"line 15 (stepperDPI)"_s;
    QTest::newRow("float nan") << with("\n72.0\n", "\nnan\n") << u"line 15"_s;
    QTest::newRow("state out of range") << with("\n0\n[1-3]", "\n7\n[1-3]") << u"line 16"_s;
    QTest::newRow("huge index") << QByteArray(defaults).replace(0, 1, "4294967296")
                                << u"line 1 (comboImageFormat)"_s;
    QTest::newRow("Latin-1 text") << with("Page[", "\xA9[") << encoding;
    QTest::newRow("overlong UTF-8") << with("Page[", "\xC0\xAF[") << encoding;
    QTest::newRow("UTF-8 surrogate") << with("Page[", "\xED\xA0\x80[") << encoding;
    QTest::newRow("NUL byte") << with("Page[", QByteArray("\0[", 2)) << encoding;
    QTest::newRow("UTF-16 without mark")
        << QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(defaults).utf16()),
                      defaults.size() * 2)
        << encoding;
    QTest::newRow("truncated UTF-8 at the end") << defaults + "\xE2\x82" << encoding;
    QTest::newRow("larger than any profile")
        << with("Page[", QByteArray(kMaxProfileSize, 'x')) << u"too large"_s;
}

void TestProfileCodec::rejectedFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const ProfileFormat format = convertFormat();
    QString error;
    QVERIFY(!decodeProfile(format, bytes, FieldValues::defaults(format), &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void TestProfileCodec::otherNewlinesSeparateValues() {
    // Every character of the newline set ends a value, so files written with CR alone or
    // with Unicode separators load, and such a character inside a text breaks the count.
    const ProfileFormat format = splitFormat();
    const FieldValues defaults = FieldValues::defaults(format);
    for (const QString &separator :
         {u"\r"_s, u"\v"_s, u"\f"_s, u"\u0085"_s, u"\u2028"_s, u"\u2029"_s}) {
        QString text = QString::fromUtf8(kSplitDefaults);
        text.replace(u'\n', separator);
        const auto loaded = decodeProfile(format, text.toUtf8(), defaults);
        QVERIFY(loaded);
        QVERIFY(*loaded == defaults);

        QString broken = QString::fromUtf8(kSplitDefaults);
        broken.replace(u"[1-4]"_s, u"[1-4]"_s + separator);
        QVERIFY(!decodeProfile(format, broken.toUtf8(), defaults));
    }
}

void TestProfileCodec::byteOrderMarks_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QString text =
        QString::fromUtf8(kSplitDefaults).replace(u"[FileName]"_s, u"©文[FileName]"_s);
    const auto encode = [&](QStringConverter::Encoding encoding) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    };
    QTest::newRow("UTF-8 with mark") << encode(QStringConverter::Utf8);
    QTest::newRow("UTF-16 LE") << encode(QStringConverter::Utf16LE);
    QTest::newRow("UTF-16 BE") << encode(QStringConverter::Utf16BE);
    QTest::newRow("UTF-32 LE") << encode(QStringConverter::Utf32LE);
    QTest::newRow("UTF-32 BE") << encode(QStringConverter::Utf32BE);
}

void TestProfileCodec::byteOrderMarks() {
    QFETCH(QByteArray, bytes);
    const ProfileFormat format = splitFormat();
    QString error;
    const auto loaded = decodeProfile(format, bytes, FieldValues::defaults(format), &error);
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(loaded->text(u"textFieldNames"), u"©文[FileName](Page[IntervalIndex])"_s);
    QCOMPARE(loaded->state(u"radioConsecutivePageSplit"), 1);

    // A lone surrogate in UTF-16 is as invalid as a broken UTF-8 sequence.
    QByteArray broken = bytes;
    if (bytes.startsWith("\xFF\xFE") && !bytes.startsWith(QByteArray("\xFF\xFE\0\0", 4))) {
        broken.insert(2, QByteArray("\x00\xD8", 2));
        QVERIFY(!decodeProfile(format, broken, FieldValues::defaults(format)));
    }
}

void TestProfileCodec::prefixLayouts_data() {
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<QList<int>>("layouts");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<bool>("ok");

    const QList<int> crop = {17, 13};
    const QList<int> watermark = {36, 32, 29};
    QTest::newRow("crop full") << 17 << crop << 17 << true;
    QTest::newRow("crop short") << 17 << crop << 13 << true;
    for (const int bad : {12, 14, 16, 18})
        QTest::addRow("crop %d lines", bad) << 17 << crop << bad << false;
    QTest::newRow("watermark full") << 36 << watermark << 36 << true;
    QTest::newRow("watermark without spacings") << 36 << watermark << 32 << true;
    QTest::newRow("watermark oldest") << 36 << watermark << 29 << true;
    for (const int bad : {28, 30, 31, 33, 35, 37})
        QTest::addRow("watermark %d lines", bad) << 36 << watermark << bad << false;
}

void TestProfileCodec::prefixLayouts() {
    QFETCH(int, fieldCount);
    QFETCH(QList<int>, layouts);
    QFETCH(int, lineCount);
    QFETCH(bool, ok);

    const ProfileFormat format = textFormat(fieldCount, layouts);
    QCOMPARE(fieldTableProblems(format), QStringList());
    FieldValues current = FieldValues::defaults(format);
    current.setText(u"f%1"_s.arg(fieldCount), u"current"_s);
    const auto loaded = decodeProfile(format, lines(lineCount), current);
    QCOMPARE(loaded.has_value(), ok);
    if (!ok)
        return;
    for (int i = 1; i <= fieldCount; ++i) {
        const QString expected = i <= lineCount    ? u"v%1"_s.arg(i)
                                 : i == fieldCount ? u"current"_s
                                                   : u"d%1"_s.arg(i);
        QCOMPARE(loaded->text(u"f%1"_s.arg(i)), expected);
    }
}

void TestProfileCodec::badValueChangesNothing() {
    // The bad value is the last field: nothing before it may be applied either.
    const ProfileFormat format = convertFormat();
    const FieldValues defaults = FieldValues::defaults(format);
    FieldValues other = defaults;
    other.setIndex(u"comboImageFormat", 5);
    QByteArray bytes = encodeProfile(format, other);
    bytes.replace("\n0\n[1-3],5,[7-9]\n", "\nx\n[1-3],5,[7-9]\n");
    QString error;
    QVERIFY(!decodeProfile(format, bytes, defaults, &error));
    QVERIFY2(error.contains(u"checkPageIntervals"_s), qPrintable(error));
}

void TestProfileCodec::unstorableValuesAreNotEncoded() {
    const ProfileFormat format = splitFormat();
    for (const QString &text : {u"a\nb"_s, u"a\r"_s, QString(QChar(0)), u"\u2028"_s, u"\u0085"_s,
                                QString(QString(QChar(0xD800)) + u"x"_s)}) {
        FieldValues values = FieldValues::defaults(format);
        values.setText(u"textFieldNames", text);
        QVERIFY(encodeProfile(format, values).isEmpty());
    }
    FieldValues values = FieldValues::defaults(format);
    values.setNumber(u"stepperPagesPerInterval", std::numeric_limits<float>::quiet_NaN());
    QVERIFY(encodeProfile(format, values).isEmpty());
    values.setNumber(u"stepperPagesPerInterval", std::numeric_limits<float>::infinity());
    QVERIFY(encodeProfile(format, values).isEmpty());
    QVERIFY(encodeProfile(format, FieldValues::defaults(convertFormat())).isEmpty());
}

void TestProfileCodec::titles() {
    const ProfileFormat format = convertFormat();
    QCOMPARE(profileWindowTitle(format, u"/a/b/my settings.p2i"_s),
             u"Convert PDF Documents to Images - my settings"_s);
    QCOMPARE(profileWindowTitle(format, u"a.p2i"_s, true),
             u"Convert PDF Documents to Images - a*"_s);
    QCOMPARE(profileWindowTitle(format, QString(), true), u"Convert PDF Documents to Images*"_s);
    QCOMPARE(profileWindowTitle(format, QString()), u"Convert PDF Documents to Images"_s);
    QCOMPARE(profileName(format, u"/x/UPPER.P2I"_s), u"UPPER"_s);
    QCOMPARE(profileName(format, u"/x/ab"_s), u"ab"_s);
    QCOMPARE(profileName(format, u"/x/.p2i"_s), u".p2i"_s);
    QCOMPARE(profileName(format, u"/x/notes.txt"_s), u"notes.txt"_s);
}

QTEST_GUILESS_MAIN(TestProfileCodec)
#include "test_profilecodec.moc"

#include "toolkit/profilecodec.h"
#include "toolkittesting.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

#include <cstring>
#include <limits>

using namespace ventara::toolkit;
using namespace Qt::StringLiterals;
using ventara::test::kSplitDefaultsFile;
using ventara::test::splitFormat;

Q_DECLARE_METATYPE(FieldValue)
Q_DECLARE_METATYPE(FieldKind)
Q_DECLARE_METATYPE(std::optional<FieldRange>)

namespace {

// A table of `count` text fields "f1".."fN" with default "dK", accepting `layouts`.
ProfileFormat textFormat(int count, const QList<int> &layouts) {
    ProfileFormat format{u"T"_s, u"vxt"_s, u"S"_s, u"L"_s, {}, layouts};
    for (int i = 1; i <= count; ++i)
        format.fields.append({u"f%1"_s.arg(i), FieldKind::Text, u"d%1"_s.arg(i), {}, {}});
    return format;
}

} // namespace

class TestProfileCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The check every tool test runs on its table finds what it should.
    void tableProblemsAreFound() {
        QCOMPARE(fieldTableProblems(splitFormat()), QStringList());
        ProfileFormat format = splitFormat();
        format.fields[3].key = format.fields[0].key;
        format.fields[1].defaultValue = 5;
        format.fields[0].defaultValue = 2;
        format.acceptedValueCounts = {5, 6, 6};
        QCOMPARE(fieldTableProblems(format).size(), 5);

        // Descriptions are a window's words; how the file holds a value is added for --help.
        format = splitFormat();
        format.fields[0].description = u"Cut into chunks (1 on, 0 off)"_s;
        format.fields[1].items = {u"JPG"_s};
        QCOMPARE(fieldTableProblems(format).size(), 2);
        format = splitFormat();
        QCOMPARE(fieldEncodingText(format.fields[0]),
                 format.fields[0].description + u" (1 on, 0 off)"_s);
        const FieldSpec index{u"f"_s,           FieldKind::Index, 0,
                              FieldRange{0, 1}, u"Format"_s,      {u"JPG"_s, u"PNG"_s}};
        QCOMPARE(fieldEncodingText(index), u"Format: 0 JPG, 1 PNG"_s);
        QVERIFY(fieldTableProblems(ProfileFormat{u"t"_s, u"x"_s, u"a"_s, u"b"_s, {index}, {1}})
                    .isEmpty());
    }

    // One line per value, each ended by a line feed; floats always with a fraction; texts as
    // typed. Reading it back gives the same values and the same bytes.
    void roundTrip() {
        const ProfileFormat format = splitFormat();
        QCOMPARE(encodeProfile(format, FieldValues::defaults(format)), kSplitDefaultsFile);
        FieldValues values = FieldValues::defaults(format);
        values.setState(u"radioConsecutivePageSplit", 0);
        values.setText(u"textFieldPagesPerInterval", u""_s);
        values.setNumber(u"stepperPagesPerInterval", 2.5f);
        values.setText(u"textFieldNames", u"  Copyright © [PageNumber] 文件 \tx "_s);

        const QByteArray bytes = encodeProfile(format, values);
        QCOMPARE(bytes, "0\n\n2.5\n0\n[1-4],5,[6-9]\n  Copyright © [PageNumber] 文件 \tx \n"_ba);
        QString error;
        const auto loaded = decodeProfile(format, bytes, FieldValues::defaults(format), &error);
        QVERIFY2(loaded, qPrintable(error));
        QVERIFY(*loaded == values);
    }

    void formatValue_data() {
        QTest::addColumn<FieldValue>("value");
        QTest::addColumn<QString>("text");

        QTest::newRow("eighty") << FieldValue(80.0f) << u"80.0"_s;
        QTest::newRow("a tenth, shortest") << FieldValue(0.1f) << u"0.1"_s;
        QTest::newRow("a third, shortest") << FieldValue(1.0f / 3) << u"0.33333334"_s;
        QTest::newRow("large, no exponent") << FieldValue(1e10f) << u"10000000000.0"_s;
        QTest::newRow("double third") << FieldValue(1.0 / 3) << u"0.3333333333333333"_s;
    }

    void formatValue() {
        QFETCH(FieldValue, value);
        QFETCH(QString, text);
        QCOMPARE(formatFieldValue(value), text);
    }

    // Random bit patterns: the shortest text of every float reads back to the same bits.
    void floatsRoundTripExactly() {
        const FieldSpec floatField{u"f"_s, FieldKind::Float, 0.0f, {}, {}};
        const FieldSpec doubleField{u"d"_s, FieldKind::Double, 0.0, {}, {}};
        QRandomGenerator random(7);
        QList<float> floats = {std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::denorm_min(), 16777217.0f, 0.3f};
        for (int i = 0; i < 2000; ++i) {
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
            QVERIFY2(back && std::memcmp(&std::get<float>(*back), &f, sizeof f) == 0,
                     qPrintable(text));
            // The same digits read as a double give a double that narrows back to f.
            QCOMPARE(static_cast<float>(std::get<double>(*parseFieldValue(doubleField, text))), f);
        }
    }

    void parseValue_data() {
        QTest::addColumn<FieldKind>("kind");
        QTest::addColumn<std::optional<FieldRange>>("range");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<FieldValue>("value");

        const std::optional<FieldRange> none;
        const std::optional<FieldRange> percent = FieldRange{0, 1000};
        const auto S = FieldKind::State;
        const auto I = FieldKind::Index;
        const auto F = FieldKind::Float;
        const FieldValue bad;

        QTest::newRow("state with sign") << S << none << u"+1"_s << true << FieldValue(1);
        QTest::newRow("state 2 is no state") << S << none << u"2"_s << false << bad;
        QTest::newRow("state as float") << S << none << u"1.0"_s << false << bad;
        QTest::newRow("state Arabic digit") << S << none << u"\u0661"_s << false << bad;
        QTest::newRow("index overflow") << I << none << u"2147483648"_s << false << bad;
        QTest::newRow("float exponent") << F << none << u"1e+2"_s << true << FieldValue(100.0f);
        QTest::newRow("float clamped") << F << percent << u"5000"_s << true << FieldValue(1000.0f);
        QTest::newRow("float nan") << F << none << u"nan"_s << false << bad;
        QTest::newRow("float beyond single precision") << F << none << u"1e39"_s << false << bad;
        QTest::newRow("float comma") << F << none << u"1,5"_s << false << bad;
        QTest::newRow("double clamped")
            << FieldKind::Double << std::optional<FieldRange>(FieldRange{0, 1}) << u"1.5"_s << true
            << FieldValue(1.0);
        QTest::newRow("text untrimmed")
            << FieldKind::Text << none << u"  a b "_s << true << FieldValue(u"  a b "_s);
    }

    void parseValue() {
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

    // Files that must fail the load, with (part of) the reason given.
    void rejectedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");

        const QByteArray defaults = kSplitDefaultsFile;
        const auto with = [&](const char *before, const QByteArray &after) {
            return QByteArray(defaults).replace(before, after);
        };
        const QString count = u"value lines where 6 expected"_s;
        const QString encoding = u"UTF-8"_s;

        QTest::newRow("CR LF line ends") << QByteArray(defaults).replace("\n", "\r\n") << count;
        QTest::newRow("text holding a line break") << with("(Page", "\n(Page") << count;
        QTest::newRow("5 values") << defaults.left(defaults.lastIndexOf("[FileName]"))
                                  << u"5 value lines"_s;
        QTest::newRow("no final line feed") << defaults.chopped(1) << count;
        QTest::newRow("float that is no number")
            << with("\n1.0\n", "\nabc\n") << u"line 3 (stepperPagesPerInterval)"_s;
        QTest::newRow("state out of range") << with("\n0\n[", "\n7\n[") << u"line 4"_s;
        QTest::newRow("Latin-1 text") << with("Page[", "\xA9[") << encoding;
        QTest::newRow("NUL byte") << with("Page[", QByteArray("\0[", 2)) << encoding;
        QTest::newRow("UTF-16 without mark")
            << QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(defaults).utf16()),
                          defaults.size() * 2)
            << encoding;
        QTest::newRow("larger than any profile")
            << with("Page[", QByteArray(kMaxProfileSize, 'x')) << u"too large"_s;
    }

    void rejectedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const ProfileFormat format = splitFormat();
        QString error;
        QVERIFY(!decodeProfile(format, bytes, FieldValues::defaults(format), &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    // Files written with CR alone or Unicode separators load; such a character inside a text
    // breaks the count. Byte-order marks select the encoding.
    void otherEncodingsAndNewlines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");

        const QString text = QString::fromUtf8(kSplitDefaultsFile).replace(u"Page"_s, u"©文"_s);
        for (const QString &separator : {u"\r"_s, u"\u2028"_s}) {
            QTest::addRow("separator U+%04X", separator.at(0).unicode())
                << QString(text).replace(u'\n', separator).toUtf8() << true;
            QTest::addRow("U+%04X inside a text", separator.at(0).unicode())
                << QString(text).replace(u"[1-4]"_s, u"[1-4]"_s + separator).toUtf8() << false;
        }
        const auto encode = [&](QStringConverter::Encoding encoding) {
            QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
            return QByteArray(encoder.encode(text));
        };
        QTest::newRow("UTF-8 with mark") << encode(QStringConverter::Utf8) << true;
        QTest::newRow("UTF-16 LE") << encode(QStringConverter::Utf16LE) << true;
        QTest::newRow("UTF-32 BE") << encode(QStringConverter::Utf32BE) << true;
        QTest::newRow("UTF-16 LE with a lone surrogate")
            << encode(QStringConverter::Utf16LE).insert(2, QByteArray("\x00\xD8", 2)) << false;
    }

    void otherEncodingsAndNewlines() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        const ProfileFormat format = splitFormat();
        const auto loaded = decodeProfile(format, bytes, FieldValues::defaults(format));
        QCOMPARE(loaded.has_value(), ok);
        if (ok)
            QCOMPARE(loaded->text(u"textFieldNames"), u"[FileName](©文[IntervalIndex])"_s);
    }

    // Older, shorter layouts fill the leading fields; the others keep their current values.
    void prefixLayouts_data() {
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<QList<int>>("layouts");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<bool>("ok");

        const QList<int> crop = {17, 13};
        const QList<int> watermark = {36, 32, 29};
        QTest::newRow("crop full") << 17 << crop << 17 << true;
        QTest::newRow("crop short") << 17 << crop << 13 << true;
        QTest::newRow("watermark oldest") << 36 << watermark << 29 << true;
        QTest::newRow("watermark 30 lines") << 36 << watermark << 30 << false;
    }

    void prefixLayouts() {
        QFETCH(int, fieldCount);
        QFETCH(QList<int>, layouts);
        QFETCH(int, lineCount);
        QFETCH(bool, ok);

        const ProfileFormat format = textFormat(fieldCount, layouts);
        QCOMPARE(fieldTableProblems(format), QStringList());
        FieldValues current = FieldValues::defaults(format);
        current.setText(u"f%1"_s.arg(fieldCount), u"current"_s);
        QByteArray bytes;
        for (int i = 1; i <= lineCount; ++i)
            bytes += "v" + QByteArray::number(i) + "\n";
        const auto loaded = decodeProfile(format, bytes, current);
        QCOMPARE(loaded.has_value(), ok);
        for (int i = 1; ok && i <= fieldCount; ++i) {
            const QString expected = i <= lineCount    ? u"v%1"_s.arg(i)
                                     : i == fieldCount ? u"current"_s
                                                       : u"d%1"_s.arg(i);
            QCOMPARE(loaded->text(u"f%1"_s.arg(i)), expected);
        }
    }

    // A value that could not be read back is never written: the save fails instead.
    void unstorableValuesAreNotEncoded() {
        const ProfileFormat format = splitFormat();
        for (const QString &text : {u"a\nb"_s, u"a\r"_s, QString(QChar(0)), u"\u2028"_s,
                                    QString(QString(QChar(0xD800)) + u"x"_s)}) {
            FieldValues values = FieldValues::defaults(format);
            values.setText(u"textFieldNames", text);
            QVERIFY(encodeProfile(format, values).isEmpty());
        }
        FieldValues values = FieldValues::defaults(format);
        values.setNumber(u"stepperPagesPerInterval", std::numeric_limits<float>::quiet_NaN());
        QVERIFY(encodeProfile(format, values).isEmpty());
    }

    // The title's profile name: the file name without the format's extension, never cut to
    // nothing.
    void titles() {
        QCOMPARE(profileWindowTitle(splitFormat(), u"/a/my settings.vxs"_s, true),
                 u"Split PDF Documents - my settings*"_s);
        QCOMPARE(profileName(splitFormat(), u"/x/UPPER.VXS"_s), u"UPPER"_s);
        QCOMPARE(profileName(splitFormat(), u"/x/.vxs"_s), u".vxs"_s);
        QCOMPARE(profileName(splitFormat(), u"/x/notes.txt"_s), u"notes.txt"_s);
    }
};

QTEST_GUILESS_MAIN(TestProfileCodec)
#include "test_profilecodec.moc"

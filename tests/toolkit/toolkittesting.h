#pragma once

// Helpers shared by the toolkit tests: a document inspector that needs no real PDF files and
// the split tool's profile format as an example of a format.

#include "toolkit/documentinspector.h"
#include "toolkit/fieldtable.h"

#include <QByteArray>
#include <QString>

namespace ventara::test {

// Files whose path contains "bad" are refused, as damaged or encrypted PDFs are. Every other
// file has 3 pages of "612 x 792" and a size of "1.5 KB"; `pageCalls`, when given, counts the
// page-count requests.
inline toolkit::DocumentInspector fakeInspector(int *pageCalls = nullptr) {
    toolkit::DocumentInspector inspector;
    inspector.isAcceptable = [](const QString &path) {
        return !path.contains(u"bad");
    };
    inspector.pageCount = [pageCalls](const QString &) {
        if (pageCalls)
            ++*pageCalls;
        return 3;
    };
    inspector.pageSize = [](const QString &) {
        return QStringLiteral("612 x 792");
    };
    inspector.fileSize = [](const QString &) {
        return QStringLiteral("1.5 KB");
    };
    return inspector;
}

// The split tool's profile format, as the split tool declares it.
inline toolkit::ProfileFormat splitFormat() {
    using toolkit::FieldKind;
    toolkit::ProfileFormat format;
    format.baseTitle = QStringLiteral("Split PDF Documents");
    format.extension = QStringLiteral("vxs");
    format.saveAsFolderKey = QStringLiteral("SaveProfileAsDestinationPathSplit");
    format.loadFolderKey = QStringLiteral("LoadProfileDestinationPathSplit");
    const auto field = [](const char *key, FieldKind kind, const toolkit::FieldValue &value) {
        return toolkit::FieldSpec{QString::fromLatin1(key), kind, value, std::nullopt, QString()};
    };
    format.fields = {
        field("radioConsecutivePageSplit", FieldKind::State, 1),
        field("textFieldPagesPerInterval", FieldKind::Text, QStringLiteral("1")),
        field("stepperPagesPerInterval", FieldKind::Float, 1.0f),
        field("radioIntervalSplit", FieldKind::State, 0),
        field("textFieldPagesIntervals", FieldKind::Text, QStringLiteral("[1-4],5,[6-9]")),
        field("textFieldNames", FieldKind::Text, QStringLiteral("[FileName](Page[IntervalIndex])")),
    };
    format.acceptedValueCounts = {6};
    return format;
}

// The split format's defaults as a profile file.
inline const QByteArray kSplitDefaultsFile =
    "1\n1\n1.0\n0\n[1-4],5,[6-9]\n[FileName](Page[IntervalIndex])\n";

} // namespace ventara::test

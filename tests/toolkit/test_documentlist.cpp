#include "testsupport.h"
#include "toolkit/documentlist.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using ventara::toolkit::DocumentInspector;
using ventara::toolkit::DocumentList;

namespace {

// Files whose name contains "bad" are refused, as damaged or encrypted PDFs are.
DocumentInspector fakeInspector(int *pageCalls = nullptr) {
    DocumentInspector inspector;
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

QMimeData *urlData(const QStringList &paths) {
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << (path.contains(u"://") ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

} // namespace

class TestDocumentList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Creates the named files in the temporary folder and returns their paths.
    QString file(const QString &name) {
        const QString path = m_dir.filePath(name);
        QFile out(path);
        if (!out.exists()) {
            [&] {
                QVERIFY(out.open(QIODevice::WriteOnly));
            }();
            out.write("%PDF-1.4\n");
        }
        return path;
    }

    QStringList files(const QStringList &names) {
        QStringList paths;
        for (const QString &name : names)
            paths << (name.isEmpty() ? QString() : file(name));
        return paths;
    }

    QStringList names(const DocumentList &list) {
        QStringList result;
        for (const QString &path : list.paths())
            result << QFileInfo(path).fileName();
        return result;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void append_data() {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("rejected");

        QTest::newRow("duplicate skipped silently")
            << QStringList{u"a.pdf"_s, u"b.pdf"_s, u"a.pdf"_s}
            << QStringList{u"a.pdf"_s, u"b.pdf"_s} << 0;
        QTest::newRow("unreadable between readable")
            << QStringList{u"a.pdf"_s, u"bad.pdf"_s, u"b.pdf"_s}
            << QStringList{u"a.pdf"_s, u"b.pdf"_s} << 1;
        QTest::newRow("empty path skipped")
            << QStringList{u""_s, u"a.pdf"_s} << QStringList{u"a.pdf"_s} << 0;
        QTest::newRow("panel takes any extension it offered")
            << QStringList{u"UPPER.PDF"_s, u"c.pdf"_s} << QStringList{u"UPPER.PDF"_s, u"c.pdf"_s}
            << 0;
    }

    void append() {
        QFETCH(QStringList, given);
        QFETCH(QStringList, expected);
        QFETCH(int, rejected);

        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        const DocumentList::AddResult result = list.append(files(given));
        QCOMPARE(names(list), expected);
        QCOMPARE(result.added, int(expected.size()));
        QCOMPARE(result.rejected, rejected);
    }

    void appendMakesPathsAbsolute() {
        DocumentList list(fakeInspector());
        const QString absolute = file(QStringLiteral("rel.pdf"));
        const QString relative = QDir::current().relativeFilePath(absolute);
        list.append({relative, absolute});
        QCOMPARE(list.paths(), QStringList{absolute});
    }

    void insertDropped_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("dropped"); // "missing:" names a file that does not exist
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("rejected");

        QTest::newRow("three on row 1 of two keep their order")
            << QStringList{u"a.pdf"_s, u"b.pdf"_s} << 1
            << QStringList{u"x.pdf"_s, u"y.pdf"_s, u"z.pdf"_s}
            << QStringList{u"a.pdf"_s, u"x.pdf"_s, u"y.pdf"_s, u"z.pdf"_s, u"b.pdf"_s} << 0;
        QTest::newRow("upper-case extension accepted")
            << QStringList{} << 0 << QStringList{u"REPORT.PDF"_s} << QStringList{u"REPORT.PDF"_s}
            << 0;
        QTest::newRow("other extension skipped silently")
            << QStringList{u"a.pdf"_s} << 0 << QStringList{u"notes.txt"_s, u"c.pdf"_s}
            << QStringList{u"c.pdf"_s, u"a.pdf"_s} << 0;
        QTest::newRow("missing file skipped silently")
            << QStringList{} << 0 << QStringList{u"missing:gone.pdf"_s, u"c.pdf"_s}
            << QStringList{u"c.pdf"_s} << 0;
        QTest::newRow("duplicate skipped silently")
            << QStringList{u"a.pdf"_s, u"b.pdf"_s} << 2 << QStringList{u"a.pdf"_s, u"c.pdf"_s}
            << QStringList{u"a.pdf"_s, u"b.pdf"_s, u"c.pdf"_s} << 0;
        QTest::newRow("unreadable counted, others inserted in order")
            << QStringList{u"a.pdf"_s} << 0 << QStringList{u"c.pdf"_s, u"bad.pdf"_s, u"d.pdf"_s}
            << QStringList{u"c.pdf"_s, u"d.pdf"_s, u"a.pdf"_s} << 1;
        QTest::newRow("row beyond the end appends")
            << QStringList{u"a.pdf"_s} << 7 << QStringList{u"c.pdf"_s}
            << QStringList{u"a.pdf"_s, u"c.pdf"_s} << 0;
        QTest::newRow("negative row inserts first")
            << QStringList{u"a.pdf"_s} << -3 << QStringList{u"c.pdf"_s}
            << QStringList{u"c.pdf"_s, u"a.pdf"_s} << 0;
    }

    void insertDropped() {
        QFETCH(QStringList, before);
        QFETCH(int, row);
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, expected);
        QFETCH(int, rejected);

        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        list.append(files(before));
        QStringList paths;
        for (const QString &name : dropped) {
            paths << (name.startsWith(u"missing:") ? m_dir.filePath(name.mid(8)) : file(name));
        }
        const DocumentList::AddResult result = list.insertDropped(row, paths);
        QCOMPARE(names(list), expected);
        QCOMPARE(result.rejected, rejected);
    }

    void canDrop_data() {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<bool>("fromItemView");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("accepted");

        const int copy = Qt::CopyAction;
        QTest::newRow("pdf file") << QStringList{u"a.pdf"_s} << false << copy << false << true;
        QTest::newRow("upper-case pdf")
            << QStringList{u"R.PDF"_s} << false << copy << false << true;
        QTest::newRow("text file refused")
            << QStringList{u"n.txt"_s} << false << copy << false << false;
        QTest::newRow("one pdf among others")
            << QStringList{u"n.txt"_s, u"a.pdf"_s} << false << copy << false << true;
        QTest::newRow("rows of an item view refused")
            << QStringList{u"a.pdf"_s} << true << int(Qt::MoveAction) << false << false;
        QTest::newRow("item view data with copy refused")
            << QStringList{u"a.pdf"_s} << true << copy << false << false;
        QTest::newRow("remote url refused")
            << QStringList{u"https://example.org/a.pdf"_s} << false << copy << false << false;
        QTest::newRow("move refused")
            << QStringList{u"a.pdf"_s} << false << int(Qt::MoveAction) << false << false;
        QTest::newRow("locked list refuses")
            << QStringList{u"a.pdf"_s} << false << copy << true << false;
    }

    void canDrop() {
        QFETCH(QStringList, dropped);
        QFETCH(bool, fromItemView);
        QFETCH(int, action);
        QFETCH(bool, locked);
        QFETCH(bool, accepted);

        DocumentList list(fakeInspector());
        list.setLocked(locked);
        QStringList paths;
        for (const QString &name : dropped)
            paths << (name.contains(u"://") ? name : file(name));
        std::unique_ptr<QMimeData> data(urlData(paths));
        if (fromItemView)
            data->setData(DocumentList::itemViewMimeType(), QByteArray("rows"));
        const auto dropAction = Qt::DropAction(action);
        QCOMPARE(list.canDropMimeData(data.get(), dropAction, 0, 0, QModelIndex()), accepted);
        const int before = list.count();
        QCOMPARE(list.dropMimeData(data.get(), dropAction, 0, 0, QModelIndex()), accepted);
        QCOMPARE(list.count() > before, accepted);
    }

    void dropRow_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("parentRow"); // -1: no parent
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("between rows") << 1 << -1 << QStringList{u"a.pdf"_s, u"x.pdf"_s, u"b.pdf"_s};
        QTest::newRow("on a row inserts at that row")
            << -1 << 1 << QStringList{u"a.pdf"_s, u"x.pdf"_s, u"b.pdf"_s};
        QTest::newRow("on the empty area appends")
            << -1 << -1 << QStringList{u"a.pdf"_s, u"b.pdf"_s, u"x.pdf"_s};
    }

    void dropRow() {
        QFETCH(int, row);
        QFETCH(int, parentRow);
        QFETCH(QStringList, expected);

        DocumentList list(fakeInspector());
        list.append(files({u"a.pdf"_s, u"b.pdf"_s}));
        std::unique_ptr<QMimeData> data(urlData({file(QStringLiteral("x.pdf"))}));
        const QModelIndex parent = parentRow < 0 ? QModelIndex() : list.index(parentRow);
        QVERIFY(list.dropMimeData(data.get(), Qt::CopyAction, row, 0, parent));
        QCOMPARE(names(list), expected);
    }

    void dropSignalsRejectedFilesAfterInserting() {
        DocumentList list(fakeInspector());
        QStringList seen;
        connect(&list, &DocumentList::dropRejectedDocuments, this, [&] { seen = names(list); });
        std::unique_ptr<QMimeData> data(urlData(files({u"bad.pdf"_s, u"c.pdf"_s})));
        QVERIFY(list.dropMimeData(data.get(), Qt::CopyAction, -1, -1, QModelIndex()));
        QCOMPARE(seen, QStringList{u"c.pdf"_s});

        // A drop without rejected files does not signal.
        QSignalSpy spy(&list, &DocumentList::dropRejectedDocuments);
        std::unique_ptr<QMimeData> good(urlData(files({u"d.pdf"_s})));
        QVERIFY(list.dropMimeData(good.get(), Qt::CopyAction, -1, -1, QModelIndex()));
        QCOMPARE(spy.count(), 0);
    }

    void editing() {
        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        list.append(files({u"a.pdf"_s, u"b.pdf"_s, u"c.pdf"_s}));

        QCOMPARE(list.moveUp(1), 0);
        QCOMPARE(names(list), (QStringList{u"b.pdf"_s, u"a.pdf"_s, u"c.pdf"_s}));
        QCOMPARE(list.moveUp(0), -1);
        QCOMPARE(list.moveDown(2), -1);
        QCOMPARE(list.moveDown(-1), -1);
        QCOMPARE(list.moveDown(0), 1);
        QCOMPARE(names(list), (QStringList{u"a.pdf"_s, u"b.pdf"_s, u"c.pdf"_s}));

        QVERIFY(!list.removeAt(3));
        QVERIFY(!list.removeAt(-1));
        QVERIFY(list.removeAt(1));
        QCOMPARE(names(list), (QStringList{u"a.pdf"_s, u"c.pdf"_s}));
        QVERIFY(list.clear());
        QVERIFY(list.isEmpty());
        QVERIFY(!list.clear());
    }

    void lockedListDoesNotChange() {
        DocumentList list(fakeInspector());
        list.append(files({u"a.pdf"_s, u"b.pdf"_s}));
        QSignalSpy lockSpy(&list, &DocumentList::lockedChanged);
        list.setLocked(true);
        const QStringList before = list.paths();

        QCOMPARE(list.append(files({u"c.pdf"_s})).added, 0);
        QCOMPARE(list.insertDropped(0, files({u"c.pdf"_s})).added, 0);
        QVERIFY(!list.removeAt(0));
        QVERIFY(!list.clear());
        QCOMPARE(list.moveUp(1), -1);
        QCOMPARE(list.moveDown(0), -1);
        QVERIFY(!list.flags(QModelIndex()).testFlag(Qt::ItemIsDropEnabled));
        QVERIFY(!list.flags(list.index(0)).testFlag(Qt::ItemIsDropEnabled));
        QCOMPARE(list.paths(), before);

        list.setLocked(false);
        QCOMPARE(lockSpy.count(), 2);
        QVERIFY(list.flags(QModelIndex()).testFlag(Qt::ItemIsDropEnabled));
        QVERIFY(!list.flags(list.index(0)).testFlag(Qt::ItemIsDragEnabled));
        QCOMPARE(list.append(files({u"c.pdf"_s})).added, 1);
    }

    void roles_data() {
        QTest::addColumn<DocumentList::Tooltip>("style");
        QTest::addColumn<QString>("tooltip");

        QTest::newRow("split, merge, convert, properties")
            << DocumentList::Tooltip::PagesAndFileSize
            << QStringLiteral("Number of Pages: 3\nFile Size: 1.5 KB");
        QTest::newRow("crop, watermark") << DocumentList::Tooltip::PagesPageSizeAndFileSize
                                         << QStringLiteral("Number of Pages: 3\nPage Size: 612 x "
                                                           "792\nFile Size: 1.5 KB");
    }

    void roles() {
        QFETCH(DocumentList::Tooltip, style);
        QFETCH(QString, tooltip);

        int pageCalls = 0;
        DocumentList list(fakeInspector(&pageCalls));
        list.setTooltip(style);
        const QString path = file(QStringLiteral("a.pdf"));
        list.append({path});
        QCOMPARE(list.data(list.index(0), Qt::DisplayRole).toString(), path);
        QCOMPARE(pageCalls, 0); // nothing is computed before it is asked for
        QCOMPARE(list.data(list.index(0), Qt::ToolTipRole).toString(), tooltip);
        list.data(list.index(0), Qt::ToolTipRole);
        QCOMPARE(pageCalls, 2); // computed each time, from the file's state at that moment
        QVERIFY(!list.data(list.index(1), Qt::DisplayRole).isValid());
    }

    void pdfEngineInspector() {
        VENTARA_REQUIRE_CORPUS();
        DocumentList list;
        const DocumentList::AddResult result = list.append(
            {ventara::test::corpusPdf(QStringLiteral("libreoffice-a4-truetype.pdf")),
             ventara::test::corpusPdf(QStringLiteral("encrypted-user-aes256-pw-user.pdf")),
             ventara::test::corpusPdf(QStringLiteral("encrypted-owner-aes256-30p.pdf")),
             ventara::test::corpusPdf(QStringLiteral("hopeless-no-root.pdf"))});
        QCOMPARE(result.added, 1);
        QCOMPARE(result.rejected, 3);
        QVERIFY(list.data(list.index(0), Qt::ToolTipRole)
                    .toString()
                    .startsWith(u"Number of Pages: 1\nFile Size: "));

        // A 3-page file of 6905 bytes.
        const QString cjk = ventara::test::corpusPdf(QStringLiteral("fonts-cjk-vertical-cid.pdf"));
        QCOMPARE(list.tooltipText(cjk), u"Number of Pages: 3\nFile Size: 6.7 KB"_s);
        list.setTooltip(DocumentList::Tooltip::PagesPageSizeAndFileSize);
        QVERIFY(list.tooltipText(cjk).contains(u"\nPage Size: "_s));
        QVERIFY(!list.tooltipText(cjk).contains(u"Page Size: 0 x 0"_s));

        const DocumentList::AddResult dropped = list.insertDropped(
            0, {ventara::test::corpusPdf(QStringLiteral("UPPERCASE-EXTENSION.PDF"))});
        QCOMPARE(dropped.added, 1);
    }
};

QTEST_GUILESS_MAIN(TestDocumentList)
#include "test_documentlist.moc"

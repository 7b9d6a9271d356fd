#include "testsupport.h"
#include "toolkit/documentlist.h"
#include "toolkittesting.h"

#include "toolkit/executor.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;
using ventara::test::fakeInspector;
using ventara::toolkit::DocumentList;

class TestDocumentList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Paths in the temporary folder for space-separated file names, the files created unless
    // a name starts with "missing:"; "-" stands for an empty path.
    QStringList files(const QString &names) {
        QStringList paths;
        for (const QString &name : names.split(u' ', Qt::SkipEmptyParts)) {
            if (name == u"-") {
                paths << QString();
            } else if (name.startsWith(u"missing:")) {
                paths << m_dir.filePath(name.mid(8));
            } else {
                paths << m_dir.filePath(name);
                if (!QFile::exists(paths.last()))
                    ventara::test::writeBytes(paths.last(), "%PDF-1.4\n");
            }
        }
        return paths;
    }

    // The file names of the list, space-separated.
    static QString names(const DocumentList &list) {
        QStringList result;
        for (const QString &path : list.paths())
            result << QFileInfo(path).fileName();
        return result.join(u' ');
    }

    // A drag from a file manager (or, with `rows`, from an item view).
    std::unique_ptr<QMimeData> drag(const QString &names, bool rows = false) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString &path : files(names))
            urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        if (rows)
            data->setData(DocumentList::itemViewMimeType(), QByteArray("rows"));
        return data;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Row -1 adds through the open panel (any extension it offered); other rows are drops
    // (PDF extension in any case, missing files skipped). Both skip duplicates and empty
    // paths silently and count the files that cannot be loaded.
    void add_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("rejected");

        QTest::newRow("panel: duplicate")
            << u""_s << -1 << u"a.pdf b.pdf a.pdf"_s << u"a.pdf b.pdf"_s << 0;
        QTest::newRow("panel: unreadable between readable")
            << u""_s << -1 << u"a.pdf bad.pdf b.pdf"_s << u"a.pdf b.pdf"_s << 1;
        QTest::newRow("panel: empty path")
            << u""_s << -1 << u"- UPPER.PDF"_s << u"UPPER.PDF"_s << 0;
        QTest::newRow("drop: three on row 1 of two keep their order")
            << u"a.pdf b.pdf"_s << 1 << u"x.pdf y.pdf z.pdf"_s << u"a.pdf x.pdf y.pdf z.pdf b.pdf"_s
            << 0;
        QTest::newRow("drop: other extension")
            << u"a.pdf"_s << 0 << u"notes.txt REPORT.PDF"_s << u"REPORT.PDF a.pdf"_s << 0;
        QTest::newRow("drop: missing file")
            << u""_s << 0 << u"missing:gone.pdf c.pdf"_s << u"c.pdf"_s << 0;
        QTest::newRow("drop: duplicate")
            << u"a.pdf b.pdf"_s << 2 << u"a.pdf c.pdf"_s << u"a.pdf b.pdf c.pdf"_s << 0;
        QTest::newRow("drop: unreadable")
            << u"a.pdf"_s << 0 << u"c.pdf bad.pdf d.pdf"_s << u"c.pdf d.pdf a.pdf"_s << 1;
    }

    void add() {
        QFETCH(QString, before);
        QFETCH(int, row);
        QFETCH(QString, added);
        QFETCH(QString, expected);
        QFETCH(int, rejected);

        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        list.append(files(before));
        const DocumentList::AddResult result =
            row < 0 ? list.append(files(added)) : list.insertDropped(row, files(added));
        QCOMPARE(names(list), expected);
        QCOMPARE(result.rejected, rejected);
    }

    // Only PDF files from outside are taken: no reordering by dragging rows, no remote files,
    // nothing while a run reads the list.
    void canDrop_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<bool>("rows");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("pdf file") << u"a.pdf"_s << false << false << true;
        QTest::newRow("upper-case pdf") << u"REPORT.PDF"_s << false << false << true;
        QTest::newRow("text file refused") << u"n.txt"_s << false << false << false;
        QTest::newRow("rows of an item view refused") << u"a.pdf"_s << true << false << false;
        QTest::newRow("locked list refuses") << u"a.pdf"_s << false << true << false;
    }

    void canDrop() {
        QFETCH(QString, dropped);
        QFETCH(bool, rows);
        QFETCH(bool, locked);
        QFETCH(bool, accepted);

        DocumentList list(fakeInspector());
        list.setLocked(locked);
        const std::unique_ptr<QMimeData> data = drag(dropped, rows);
        QCOMPARE(list.canDropMimeData(data.get(), Qt::CopyAction, 0, 0, QModelIndex()), accepted);
        QCOMPARE(list.dropMimeData(data.get(), Qt::CopyAction, 0, 0, QModelIndex()), accepted);
        QCOMPARE(list.count(), accepted ? 1 : 0);

        QMimeData remote;
        remote.setUrls({QUrl(u"https://example.org/a.pdf"_s)});
        QVERIFY(!list.canDropMimeData(&remote, Qt::CopyAction, 0, 0, QModelIndex()));
    }

    // Where an item view's drop position puts the files.
    void dropRow_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("parentRow"); // -1: no parent
        QTest::addColumn<QString>("expected");

        QTest::newRow("between rows") << 1 << -1 << u"a.pdf x.pdf b.pdf"_s;
        QTest::newRow("on a row inserts at that row") << -1 << 1 << u"a.pdf x.pdf b.pdf"_s;
        QTest::newRow("on the empty area appends") << -1 << -1 << u"a.pdf b.pdf x.pdf"_s;
    }

    void dropRow() {
        QFETCH(int, row);
        QFETCH(int, parentRow);
        QFETCH(QString, expected);

        DocumentList list(fakeInspector());
        list.append(files(u"a.pdf b.pdf"_s));
        const QModelIndex parent = parentRow < 0 ? QModelIndex() : list.index(parentRow);
        QVERIFY(list.dropMimeData(drag(u"x.pdf"_s).get(), Qt::CopyAction, row, 0, parent));
        QCOMPARE(names(list), expected);
    }

    // The merge order: moving stops at the ends.
    void moveAndRemove() {
        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        list.append(files(u"a.pdf b.pdf c.pdf"_s));
        QCOMPARE(list.moveUp(1), 0);
        QCOMPARE(list.moveUp(0), -1);
        QCOMPARE(list.moveDown(2), -1);
        QCOMPARE(list.moveDown(1), 2);
        QCOMPARE(names(list), u"b.pdf c.pdf a.pdf"_s);
        QVERIFY(!list.removeAt(3));
        QVERIFY(list.removeAt(1));
        QCOMPARE(names(list), u"b.pdf a.pdf"_s);
    }

    void tooltip_data() {
        QTest::addColumn<DocumentList::Tooltip>("style");
        QTest::addColumn<QString>("tooltip");

        QTest::newRow("split, merge, convert, properties")
            << DocumentList::Tooltip::PagesAndFileSize
            << u"Number of Pages: 3\nFile Size: 1.5 KB"_s;
        QTest::newRow("crop, watermark")
            << DocumentList::Tooltip::PagesPageSizeAndFileSize
            << u"Number of Pages: 3\nPage Size: 612 x 792\nFile Size: 1.5 KB"_s;
    }

    void tooltip() {
        QFETCH(DocumentList::Tooltip, style);
        QFETCH(QString, tooltip);

        int pageCalls = 0;
        DocumentList list(fakeInspector(&pageCalls));
        list.setTooltip(style);
        const QString path = files(u"tip.pdf"_s).constFirst();
        list.append({path});
        QCOMPARE(list.data(list.index(0), Qt::DisplayRole).toString(), path);
        QCOMPARE(pageCalls, 1); // read when the file was checked
        QCOMPARE(list.data(list.index(0), Qt::ToolTipRole).toString(), tooltip);
        list.data(list.index(0), Qt::ToolTipRole);
        QCOMPARE(pageCalls, 1);
        // A file changed since is read again: the tooltip tells the file's state.
        ventara::test::writeBytes(path, "%PDF-1.4\n% longer now\n");
        list.data(list.index(0), Qt::ToolTipRole);
        QCOMPARE(pageCalls, 2);
        QFile::remove(path);
    }

    // Files added to a window's list are checked on another thread: the rows are there at
    // once, in the order they were added, and the thread stays free meanwhile. Rows whose
    // file cannot be loaded go again; each batch then tells how it fared.
    void checksInTheBackground() {
        DocumentList list(fakeInspector());
        QAbstractItemModelTester tester(&list);
        QSemaphore gate;
        list.setCheckExecutor([&gate](std::function<void()> task) {
            ventara::toolkit::workerThreadExecutor()([&gate, task] {
                gate.acquire();
                gate.release(); // stays open once opened
                task();
            });
        });
        QSignalSpy batches(&list, &DocumentList::batchChecked);
        QSignalSpy checking(&list, &DocumentList::checkingChanged);

        QCOMPARE(list.append(files(u"a.pdf bad.pdf b.pdf a.pdf"_s)).added, 3);
        QCOMPARE(list.insertDropped(1, files(u"c.pdf bad2.pdf"_s)).added, 2);
        QCOMPARE(list.append(files(u"gone.pdf"_s)).added, 1);
        QCOMPARE(names(list), u"a.pdf c.pdf bad2.pdf bad.pdf b.pdf gone.pdf"_s);
        QVERIFY(!list.data(list.index(0), DocumentList::CheckedRole).toBool());
        QVERIFY(list.tooltipText(list.at(0)).startsWith(u"Reading the document...\n"_s));
        QVERIFY(list.isChecking());
        QCOMPARE(list.checkProgress(), 0.0);
        QCOMPARE(list.knownPageCount(list.at(0)), -1); // not read yet
        QVERIFY(list.removeAt(5)); // its batch ends without a word

        bool timerFired = false;
        QTimer::singleShot(0, [&timerFired] { timerFired = true; });
        QTRY_VERIFY(timerFired);
        QVERIFY(list.isChecking());
        QVERIFY(batches.isEmpty());

        gate.release();
        QVERIFY(list.waitForChecks(20000));
        QCOMPARE(names(list), u"a.pdf c.pdf b.pdf"_s);
        for (int row = 0; row < list.count(); ++row)
            QVERIFY(list.data(list.index(row), DocumentList::CheckedRole).toBool());
        QCOMPARE(list.tooltipText(list.at(1)), u"Number of Pages: 3\nFile Size: 1.5 KB"_s);
        // The page count read is given while the file stays as it was.
        QCOMPARE(list.knownPageCount(list.at(1)), 3);
        QCOMPARE(list.knownPageCount(m_dir.filePath(u"bad.pdf"_s)), -1);
        ventara::test::writeBytes(list.at(1), "%PDF-1.4\n% changed since\n");
        QCOMPARE(list.knownPageCount(list.at(1)), -1);
        QCOMPARE(checking.size(), 2);
        QCOMPARE(batches.size(), 2);
        QMap<bool, QList<int>> fared; // dropped: added, rejected
        for (const QList<QVariant> &batch : std::as_const(batches)) {
            const auto result = batch.at(0).value<DocumentList::AddResult>();
            fared.insert(batch.at(1).toBool(), {result.added, result.rejected});
        }
        QCOMPARE(fared.value(false), (QList<int>{2, 1}));
        QCOMPARE(fared.value(true), (QList<int>{1, 1}));

        // Emptied while files are checked: nothing comes of them.
        gate.acquire();
        list.append(files(u"d.pdf bad3.pdf"_s));
        QVERIFY(list.clear());
        QVERIFY(!list.isChecking());
        gate.release();
        QTest::qWait(50);
        QVERIFY(list.isEmpty());
        QCOMPARE(batches.size(), 2);
    }

    // The application's inspector: real, encrypted and damaged files.
    void pdfEngineInspector() {
        VENTARA_REQUIRE_CORPUS();
        using ventara::test::corpusPdf;
        DocumentList list;
        const DocumentList::AddResult result = list.append(
            {corpusPdf(u"libreoffice-a4-truetype.pdf"_s),
             corpusPdf(u"encrypted-user-aes256-pw-user.pdf"_s),
             corpusPdf(u"encrypted-owner-aes256-30p.pdf"_s), corpusPdf(u"hopeless-no-root.pdf"_s)});
        QCOMPARE(result.added, 1);
        QCOMPARE(result.rejected, 3);

        // A 3-page file of 6905 bytes.
        const QString cjk = corpusPdf(u"fonts-cjk-vertical-cid.pdf"_s);
        QCOMPARE(list.tooltipText(cjk), u"Number of Pages: 3\nFile Size: 6.7 KB"_s);
        list.setTooltip(DocumentList::Tooltip::PagesPageSizeAndFileSize);
        QVERIFY(list.tooltipText(cjk).contains(u"\nPage Size: "_s));
        QVERIFY(!list.tooltipText(cjk).contains(u"Page Size: 0 x 0"_s));
    }
};

QTEST_GUILESS_MAIN(TestDocumentList)
#include "test_documentlist.moc"

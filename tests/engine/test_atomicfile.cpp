#include "engine/pdf/atomicfile.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ventara::engine;

class TestAtomicFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void replacesOnlyWhenComplete();
    void keepsPermissionsOfReplacedFile();
    void nothingToSeeWhileWriting();
};

void TestAtomicFile::replacesOnlyWhenComplete() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(writeFileAtomically(target, "old"));
    QVERIFY(!writeAtomically(target, [](const QString &path) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("half");
        return false;
    }));
    QCOMPARE(ventara::test::readBytes(target), QByteArray("old"));
    QVERIFY(!writeAtomically(target, [](const QString &) -> bool { throw 1; }));
    QCOMPARE(ventara::test::readBytes(target), QByteArray("old"));
    QVERIFY(writeFileAtomically(target, "new"));
    QCOMPARE(ventara::test::readBytes(target), QByteArray("new"));
    QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("missing/out.txt")), "x"));
    // No temporary file is left beside the target, whether the write succeeded or not.
    const QStringList entries =
        QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(entries, QStringList{QStringLiteral("out.txt")});
}

void TestAtomicFile::keepsPermissionsOfReplacedFile() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("script.sh"));
    QVERIFY(writeFileAtomically(target, "a"));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0750) == 0);
    QVERIFY(writeFileAtomically(target, "b"));
    struct stat info {};
    QVERIFY(::stat(QFile::encodeName(target).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, 0750u);
}

// Where the file system has unnamed files, a write in progress shows nothing in the folder,
// so that not even a process killed outright leaves a temporary file; new and replaced
// targets alike.
void TestAtomicFile::nothingToSeeWhileWriting() {
    QTemporaryDir dir;
    const int probe = ::open(QFile::encodeName(dir.path()).constData(), O_TMPFILE | O_RDWR, 0600);
    if (probe < 0)
        QSKIP("the file system of the temporary folder has no unnamed files");
    ::close(probe);
    const auto entries = [&dir] {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    for (const QByteArray &content : {QByteArray("new"), QByteArray("replaced")}) {
        QStringList seen;
        QVERIFY(writeAtomically(dir.filePath(QStringLiteral("out.txt")), [&](const QString &path) {
            QFile file(path);
            const bool written = file.open(QIODevice::WriteOnly) && file.write(content) > 0;
            seen = entries();
            return written;
        }));
        QCOMPARE(seen, content == "new" ? QStringList() : QStringList{QStringLiteral("out.txt")});
        QCOMPARE(ventara::test::readBytes(dir.filePath(QStringLiteral("out.txt"))), content);
    }
    QCOMPARE(entries(), QStringList{QStringLiteral("out.txt")});
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"

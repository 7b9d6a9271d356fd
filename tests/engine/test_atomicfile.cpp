#include "engine/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace ventara::engine;

class TestAtomicFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void replacesOnlyWhenComplete();
    void keepsPermissionsOfReplacedFile();
    void leavesNoTemporaryFiles();
};

static QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    QCOMPARE(readAll(target), QByteArray("old"));
    QVERIFY(!writeAtomically(target, [](const QString &) -> bool { throw 1; }));
    QCOMPARE(readAll(target), QByteArray("old"));
    QVERIFY(writeFileAtomically(target, "new"));
    QCOMPARE(readAll(target), QByteArray("new"));
    QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("missing/out.txt")), "x"));
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

void TestAtomicFile::leavesNoTemporaryFiles() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("a.txt"));
    for (int i = 0; i < 20; ++i)
        QVERIFY(writeFileAtomically(target, QByteArray::number(i)));
    writeAtomically(target, [](const QString &) { return false; });
    const QStringList entries =
        QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(entries, QStringList{QStringLiteral("a.txt")});
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"

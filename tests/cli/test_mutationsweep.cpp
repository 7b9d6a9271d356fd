// Damaged input through every command that reads PDFs, in one batch per command: a few
// hundred files made here from real documents (truncated, bytes changed, cross-reference
// tables and counts broken) and from hand-written ones (loops and deep nesting in the page
// tree, chains of forms). Whatever the damage, each command must end on its own with a
// status of 0 or 1, leave no temporary file, change no input it was not asked to edit, and
// write only complete files.

#include "engine/pdf/pdftools.h"

#include "pdffixtures.h"
#include "toolcommandrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <random>

using namespace ventara;
using namespace Qt::StringLiterals;

namespace {

// Small corpus documents with different structures: object streams, incremental updates,
// bookmarks, forms, inherited attributes, attachments, Type 3 fonts.
const char *const corpusSources[] = {
    "outlines-nested-9p.pdf",
    "info-ascii-all-fields-objstm.pdf",
    "pdf20-incremental-update.pdf",
    "annotations-mixed-types.pdf",
    "inherited-mediabox-resources-rotate.pdf",
    "fonts-type3-pdftex.pdf",
    "attachment-embedded-file.pdf",
    "pdflatex-a4-4p-type1.pdf",
};

// A PDF whose object N is bodies[N - 1], with a correct cross-reference table; object 1 is
// the catalog.
QByteArray handWrittenPdf(const QList<QByteArray> &bodies) {
    QByteArray pdf = "%PDF-1.7\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + bodies.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray stream(const QByteArray &dictionary, const QByteArray &data) {
    return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>";

// Page trees and resources that loop or nest deeply.
QList<QPair<QString, QByteArray>> handWrittenDamage() {
    QList<QPair<QString, QByteArray>> files;
    files << qMakePair(u"kids-hold-their-parent"_s,
                       handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                       "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>", page}));
    files << qMakePair(u"two-nodes-in-a-loop"_s,
                       handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                       "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>", page,
                                       "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R] /Count 1 >>"}));
    files << qMakePair(u"page-that-is-missing"_s,
                       handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                       "<< /Type /Pages /Kids [3 0 R 9 0 R] /Count 2 >>", page}));
    files << qMakePair(
        u"count-beyond-any-file"_s,
        handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                        "<< /Type /Pages /Kids [3 0 R] /Count 2147483647 >>", page}));
    files << qMakePair(u"kids-of-every-type"_s,
                       handWrittenPdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                       "<< /Type /Pages /Kids [null (x) 9 0 R 1 0 R 3 0 R] "
                                       "/Count 5 >>",
                                       page}));
    // A page tree 2,000 levels deep: each node has one child, the last one the page.
    constexpr int depth = 2000;
    QList<QByteArray> deep{"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int level = 0; level < depth; ++level) {
        const QByteArray parent =
            level > 0 ? " /Parent " + QByteArray::number(level + 1) + " 0 R" : QByteArray();
        deep << "<< /Type /Pages /Kids [" + QByteArray::number(level + 3) + " 0 R] /Count 1" +
                    parent + " >>";
    }
    deep << "<< /Type /Page /Parent " + QByteArray::number(depth + 1) +
                " 0 R /MediaBox [0 0 200 200] >>";
    files << qMakePair(u"page-tree-2000-deep"_s, handWrittenPdf(deep));
    // A chain of 2,000 forms, each drawing the next, and one drawing itself.
    QList<QByteArray> chain{"<< /Type /Catalog /Pages 2 0 R >>",
                            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R"
                            " /Resources << /XObject << /X 5 0 R >> >> >>",
                            stream({}, "/X Do")};
    for (int link = 0; link < depth; ++link) {
        const int next = link + 1 < depth ? link + 6 : link + 5; // the last names itself
        chain << stream("/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Resources << "
                        "/XObject << /X " +
                            QByteArray::number(next) + " 0 R >> >>",
                        "0 0 1 rg 10 10 5 5 re f /X Do");
    }
    files << qMakePair(u"form-chain-2000-long"_s, handWrittenPdf(chain));
    return files;
}

// The same damage done to every source document: cut short, bytes changed, a block wiped,
// and the words readers rely on broken.
QList<QPair<QString, QByteArray>> mutations(const QByteArray &source, quint32 seed) {
    QList<QPair<QString, QByteArray>> files;
    const qsizetype size = source.size();
    for (const double share : {0.25, 0.5, 0.75, 0.95})
        files << qMakePair(u"cut-%1"_s.arg(int(share * 100)), source.left(qsizetype(size * share)));
    files << qMakePair(u"cut-last-byte"_s, source.left(size - 1));
    files << qMakePair(u"cut-trailer"_s, source.left(qMax<qsizetype>(0, size - 40)));
    std::mt19937 random(seed);
    for (const int count : {1, 4, 16, 64, 256}) {
        QByteArray changed = source;
        for (int i = 0; i < count; ++i)
            changed[qsizetype(random() % quint32(size))] = char(random() & 0xff);
        files << qMakePair(u"bytes-%1"_s.arg(count), changed);
    }
    for (const double share : {0.1, 0.5, 0.9}) {
        QByteArray wiped = source;
        const qsizetype from = qsizetype(size * share);
        wiped.replace(from, qMin<qsizetype>(512, size - from),
                      QByteArray(qMin<qsizetype>(512, size - from), '\0'));
        files << qMakePair(u"wiped-%1"_s.arg(int(share * 100)), wiped);
    }
    const QList<std::pair<QByteArray, QByteArray>> words{
        {"xref", "xrfe"},
        {"startxref", "startxref\n1"},
        {"trailer", "trailor"},
        {"/Root", "/Rot"},
        {"/Count ", "/Count 99999"},
        {"/Count ", "/Count -"},
        {"/Length ", "/Length 999"},
        {"endstream", "endstrem"},
        {" obj", " obk"},
        {"/Kids [", "/Kids [1 0 R "},
        {"/Type /Page", "/Type /Pages"},
        {"/ObjStm", "/ObjStn"},
    };
    for (qsizetype i = 0; i < words.size(); ++i) {
        QByteArray broken = source;
        broken.replace(words.at(i).first, words.at(i).second);
        if (broken != source)
            files << qMakePair(u"word-%1"_s.arg(i), broken);
    }
    return files;
}

int pageCount(const QString &path) {
    return engine::PDFTools::GetPDFNumberOfPages(path);
}

QByteArray digest(const QString &path) {
    return QCryptographicHash::hash(test::readBytes(path), QCryptographicHash::Sha1);
}

// Hidden files a run leaves behind (temporary files are hidden), below `folder`.
QStringList leftovers(const QString &folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName().startsWith(u'.'))
            found << path;
    }
    return found;
}

} // namespace

class TestMutationSweep : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void commandsSurvive_data();
    void commandsSurvive();

private:
    QTemporaryDir m_dir;
    QString m_inputs;
    QString m_work;
    QStringList m_files;
    QMap<QString, QByteArray> m_digests;
};

void TestMutationSweep::initTestCase() {
    m_inputs = m_dir.filePath(u"inputs"_s);
    QVERIFY(QDir().mkpath(m_inputs));
    QList<QPair<QString, QByteArray>> sources;
    const QString generated = m_dir.filePath(u"generated.pdf"_s);
    QVERIFY(test::writeSimplePdf(generated, 3, u"sweep"_s));
    sources << qMakePair(u"generated"_s, test::readBytes(generated));
    if (!test::corpusDir().isEmpty()) {
        for (const char *name : corpusSources) {
            const QByteArray bytes = test::readBytes(test::corpusPdf(QString::fromUtf8(name)));
            if (!bytes.isEmpty())
                sources << qMakePair(QFileInfo(QString::fromUtf8(name)).baseName(), bytes);
        }
    }
    quint32 seed = 1;
    const auto add = [this](const QString &name, const QByteArray &bytes) {
        const QString path = QDir(m_inputs).filePath(name + u".pdf"_s);
        QVERIFY(test::writeBytes(path, bytes));
        m_files << path;
        m_digests.insert(path, digest(path));
    };
    for (const auto &[name, bytes] : sources) {
        for (const auto &[damage, mutated] : mutations(bytes, seed++))
            add(name + u'-' + damage, mutated);
    }
    for (const auto &[name, bytes] : handWrittenDamage())
        add(name, bytes);
    qInfo("%d damaged files", int(m_files.size()));
}

void TestMutationSweep::init() {
    m_work = m_dir.filePath(u"work"_s);
    QDir(m_work).removeRecursively();
    QVERIFY(QDir().mkpath(m_work));
}

void TestMutationSweep::commandsSurvive_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("editsInputs");
    // The output folder (or file) is appended; so are the inputs.
    QTest::newRow("info") << test::strings({"info"}) << false;
    QTest::newRow("split") << test::strings({"split", "--every", "2", "--overwrite", "yes", "-o"})
                           << false;
    QTest::newRow("merge") << test::strings({"merge", "--overwrite", "yes", "-o"}) << false;
    QTest::newRow("convert") << test::strings({"convert", "--percent", "5", "--pages", "[1-2]",
                                               "--overwrite", "yes", "-o"})
                             << false;
    QTest::newRow("crop") << test::strings({"crop", "--auto", "4:3", "--overwrite", "yes", "-o"})
                          << false;
    QTest::newRow("watermark") << test::strings(
                                      {"watermark", "--text", "Swept", "--overwrite", "yes", "-o"})
                               << false;
    QTest::newRow("properties") << test::strings({"properties", "--title", "Swept [Original]",
                                                  "--overwrite", "yes"})
                                << true;
}

void TestMutationSweep::commandsSurvive() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, editsInputs);
    const QString command = arguments.first();
    QStringList files = m_files;
    if (editsInputs) {
        // Edited in place: copies in the work folder.
        files.clear();
        for (const QString &path : m_files) {
            const QString copy = QDir(m_work).filePath(QFileInfo(path).fileName());
            QVERIFY(QFile::copy(path, copy));
            files << copy;
        }
    } else if (command == u"merge") {
        arguments << QDir(m_work).filePath(u"merged.pdf"_s);
    } else if (command != u"info") {
        arguments << m_work;
    }

    QProcess process;
    process.setProgram(test::binDir() + u"/ventara"_s);
    process.setArguments(arguments + files);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start();
    QVERIFY(process.waitForStarted());
    process.closeWriteChannel();
    if (!process.waitForFinished(90'000)) {
        process.kill();
        process.waitForFinished();
        QFAIL("the command did not finish within 90 s");
    }
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit, qPrintable(errors.right(2000)));
    QVERIFY2(process.exitCode() == 0 || process.exitCode() == 1,
             qPrintable(u"exit %1: "_s.arg(process.exitCode()) + errors.right(2000)));

    QVERIFY2(leftovers(m_work).isEmpty(), qPrintable(leftovers(m_work).join(u'\n')));
    QVERIFY2(leftovers(m_inputs).isEmpty(), qPrintable(leftovers(m_inputs).join(u'\n')));
    for (const QString &path : m_files)
        QVERIFY2(digest(path) == m_digests.value(path), qPrintable(path));

    if (editsInputs) {
        // An edited document keeps every page qpdf found in it before; one that failed is
        // left as it was.
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (digest(files.at(i)) == m_digests.value(m_files.at(i)))
                continue;
            QVERIFY2(pageCount(files.at(i)) >= pageCount(m_files.at(i)), qPrintable(files.at(i)));
        }
        return;
    }
    if (command == u"info")
        return;
    // Whatever was written is whole (damaged stream data copied from a source stays as it was).
    const QFileInfoList written = QDir(m_work).entryInfoList(QDir::Files);
    if (command != u"convert") {
        for (const QFileInfo &file : written) {
            QVERIFY2(test::readBytes(file.filePath()).trimmed().endsWith("%%EOF"),
                     qPrintable(file.fileName()));
            QVERIFY2(pageCount(file.filePath()) > 0, qPrintable(file.fileName()));
        }
        if (command != u"merge")
            QVERIFY(written.size() > m_files.size() / 4);
    } else {
        QVERIFY(written.size() > m_files.size() / 4);
        for (const QFileInfo &file : written)
            QVERIFY2(!QImageReader(file.filePath()).read().isNull(), qPrintable(file.fileName()));
    }
}

QTEST_GUILESS_MAIN(TestMutationSweep)
#include "test_mutationsweep.moc"

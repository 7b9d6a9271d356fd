#include "engine/pdf/pdftools.h"

#include "engine/pdf/clampednumber.h"
#include "engine/pdf/documentproperties.h"
#include "engine/pdf/pagegeometry.h"
#include "engine/pdf/pdfassembler.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdfupdate.h"
#include "engine/pdf/pdfxmp.h"
#include "engine/pdf/structurelimits.h"
#include "engine/pdf/workerthread.h"

#include <QFileInfo>
#include <QHash>

#include <qpdf/QPDFPageDocumentHelper.hh>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ventara::engine {

namespace {

// The geometry of page `page` (1-based) of `path`, or nothing.
std::optional<PageGeometry> pageGeometryOfFile(const QString &path, int page) {
    if (page < 1)
        return std::nullopt;
    auto file = PdfFile::open(path);
    if (!file)
        return std::nullopt;
    std::optional<PageGeometry> geometry;
    try {
        const auto &pages = file->qpdf().getAllPages();
        if (page <= static_cast<int>(pages.size())) {
            QPDFPageObjectHelper helper(pages[static_cast<size_t>(page - 1)]);
            geometry = pageGeometry(helper);
        }
    } catch (const std::exception &e) {
        logPdfProblem(path + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        return std::nullopt;
    }
    PdfFile::keepForReuse(std::move(file)); // only read
    return geometry;
}

std::optional<QString> infoText(QPDFObjectHandle info, const char *key) {
    if (!info.isDictionary())
        return std::nullopt;
    QPDFObjectHandle value = info.getKey(key);
    if (!value.isString())
        return std::nullopt;
    return QString::fromStdString(value.getUTF8Value());
}

QPDFObjectHandle metadataStream(QPDF &pdf) {
    QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
    return metadata.isStream() ? metadata : QPDFObjectHandle();
}

QByteArray metadataPacket(QPDFObjectHandle metadata, const QString &description) {
    if (!metadata.isInitialized() || !metadata.isStream())
        return {};
    try {
        const auto buffer = metadata.getStreamData(qpdf_dl_all);
        return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()),
                          static_cast<qsizetype>(buffer->getSize()));
    } catch (const std::exception &e) {
        logPdfProblem(description + QStringLiteral(": XMP metadata: ") +
                      QString::fromUtf8(e.what()));
        return {};
    }
}

// The document's properties: the information dictionary's, else the XMP metadata's.
// Why writing `pdf` again would lose pages readers show, or an empty text. A document rewritten
// from qpdf's reading holds the pages of its page tree only: none when the tree cannot be
// found, fewer when a damaged file has pages the tree no longer reaches (readers such as
// poppler look for those and show them).
QString pagesLostByRewriting(QPDF &pdf) {
    const size_t pages = pdf.getAllPages().size();
    if (pages == 0)
        return QStringLiteral("no pages found (damaged file); left as it was");
    if (!pdf.anyWarnings())
        return {};
    size_t pageObjects = 0;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (object.isDictionary() && object.getKey("/Type").isNameAndEquals("/Page"))
            ++pageObjects;
    }
    if (pageObjects <= pages)
        return {};
    return QStringLiteral("the page tree reaches %1 of its %2 pages (damaged file); left as it "
                          "was")
        .arg(pages)
        .arg(pageObjects);
}

PDFTools::DocumentProperties readProperties(PdfFile &file) {
    QPDF &pdf = file.qpdf();
    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    std::optional<QString> title = infoText(info, "/Title");
    std::optional<QString> author = infoText(info, "/Author");
    std::optional<QString> subject = infoText(info, "/Subject");
    std::optional<QString> keywords = infoText(info, "/Keywords");

    PDFTools::DocumentProperties properties;
    if (!title || !author || !subject || !keywords) {
        const QByteArray packet = metadataPacket(metadataStream(pdf), file.description());
        if (!packet.isEmpty()) {
            const XmpProperties xmp = readXmpProperties(packet);
            if (!title)
                title = xmp.title;
            if (!author)
                author = xmp.author;
            if (!subject)
                subject = xmp.subject;
            if (!keywords && xmp.keywords)
                properties.keywords = *xmp.keywords;
        }
    }
    properties.title = title.value_or(QString());
    properties.author = author.value_or(QString());
    properties.subject = subject.value_or(QString());
    if (keywords)
        properties.keywords = keywordsFromText(*keywords);
    return properties;
}

QPDFObjectHandle textString(const QString &text) {
    return QPDFObjectHandle::newUnicodeString(text.toStdString());
}

// Why the pages of a document that opened could not be copied.
QString copyFailureReason(const std::exception &e) {
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return reasonForError(ENOMEM);
    if (dynamic_cast<const StructureTooDeep *>(&e))
        return QString::fromStdString(e.what());
    return QStringLiteral("damaged file: ") + QString::fromUtf8(e.what());
}

// SplitPdfParts() uses a second thread from this many parts on.
constexpr qsizetype minimumPartsForTwoWorkers = 4;

// A document of a merge, opened and prepared for copying.
struct PreparedDocument {
    std::unique_ptr<PdfFile> file;
    std::unique_ptr<PdfSource> source; // null when the document cannot be used
    QString error;
};

// Opens and prepares the documents of a merge on helper threads, a few documents ahead of
// the copying, and hands them out in list order, so that parsing overlaps with copying.
// Documents handed back are destroyed in the background. Each document is used by one
// thread at a time.
class DocumentPrefetcher {
public:
    explicit DocumentPrefetcher(const QStringList &paths)
        : m_paths(paths)
        , m_documents(static_cast<size_t>(paths.size())) {
        // Two helpers keep both cores busy while the copying waits for them; more would
        // only hold more parsed documents at once.
        const int helpers = std::thread::hardware_concurrency() > 1 && paths.size() > 2 ? 2 : 1;
        for (int i = 0; i < helpers; ++i) {
            if (!m_threads[size_t(i)].start([this] { run(); }))
                break; // take() prepares what no helper does
        }
    }

    ~DocumentPrefetcher() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_space.notify_all();
        for (WorkerThread &thread : m_threads)
            thread.join();
        for (std::optional<PreparedDocument> &document : m_documents) {
            if (document)
                discard(std::move(*document));
        }
    }

    // The next document in list order; waits until it is prepared.
    PreparedDocument take() {
        if (!m_threads.front().isStarted()) {
            const size_t index = m_taken++;
            return prepare(m_paths.at(qsizetype(index)), int(index));
        }
        std::unique_lock lock(m_mutex);
        std::optional<PreparedDocument> &slot = m_documents.at(m_taken);
        m_ready.wait(lock, [&slot] { return slot.has_value(); });
        PreparedDocument document = std::move(*slot);
        slot.reset();
        ++m_taken;
        m_space.notify_all();
        return document;
    }

    // Hands a document back for destruction (the source before its file).
    static void discard(PreparedDocument &&document) {
        destroyInBackground(std::make_shared<PreparedDocument>(std::move(document)));
    }

private:
    static constexpr size_t aheadLimit = 4;

    void run() {
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock lock(m_mutex);
                m_space.wait(lock, [this] {
                    return m_stop || m_next >= m_documents.size() || m_next < m_taken + aheadLimit;
                });
                if (m_stop || m_next >= m_documents.size())
                    return;
                index = m_next++;
            }
            PreparedDocument document = prepare(m_paths.at(qsizetype(index)), int(index));
            {
                std::lock_guard lock(m_mutex);
                m_documents[index] = std::move(document);
            }
            m_ready.notify_all();
        }
    }

    static PreparedDocument prepare(const QString &path, int index) {
        PreparedDocument document;
        document.file = PdfFile::open(path, nullptr, &document.error);
        if (!document.file)
            return document;
        try {
            document.source = std::make_unique<PdfSource>(*document.file, index);
            // Here, on the helper thread, rather than while the pages are copied.
            document.source->parsePageObjects();
        } catch (const std::exception &e) {
            document.source.reset();
            document.error = copyFailureReason(e);
        }
        return document;
    }

    const QStringList m_paths;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_space;
    std::vector<std::optional<PreparedDocument>> m_documents; // by list position
    size_t m_next = 0;                                        // the next position a helper prepares
    size_t m_taken = 0;                                       // the next position take() hands out
    bool m_stop = false;
    std::array<WorkerThread, 2> m_threads; // last: started once everything else is constructed
};

// What a merge builds: the new document, and the sources' bytes its copied stream data is
// read from when it is written (the parsed sources are released as soon as their pages are
// copied, so that their memory is reused).
struct MergedDocument {
    std::vector<QByteArray> sourceBytes;
    PdfAssembler assembler; // destroyed first
};
} // namespace

Result PDFTools::MergePdfs(const QStringList &paths, const QString &outputPath,
                           const std::function<void(int position)> &progress) {
    if (paths.isEmpty())
        return Result::failure(outputPath, QStringLiteral("no documents to merge"));
    try {
        auto merged = std::make_shared<MergedDocument>();
        PdfAssembler &assembler = merged->assembler;
        Result result;
        {
            DocumentPrefetcher prefetcher(paths);
            for (int i = 0; i < paths.size(); ++i) {
                PreparedDocument document = prefetcher.take();
                if (!document.source) {
                    result.addFailure(paths.at(i), document.error);
                    DocumentPrefetcher::discard(std::move(document));
                    continue;
                }
                if (progress)
                    progress(static_cast<int>(paths.indexOf(paths.at(i))) + 1);
                try {
                    PdfSource &source = *document.source;
                    if (i == 0)
                        assembler.takeDocumentInfo(source);
                    if (source.pageCount() > 0)
                        assembler.addPages(source, 0, source.pageCount() - 1, true);
                    else
                        result.addFailure(paths.at(i), noPagesReason());
                } catch (const std::exception &e) {
                    result.addFailure(paths.at(i), copyFailureReason(e));
                }
                merged->sourceBytes.push_back(document.file->bytes());
                DocumentPrefetcher::discard(std::move(document));
            }
        }
        if (assembler.pageCount() == 0) {
            result.addFailure(outputPath, QStringLiteral("no pages to write"));
            destroyInBackground(std::move(merged));
            return result;
        }
        result.add(assembler.write(outputPath));
        destroyInBackground(std::move(merged));
        return result;
    } catch (const std::exception &e) {
        return Result::failure(outputPath, copyFailureReason(e));
    }
}

namespace {
QList<Result> splitParts(const QString &source, const QList<PDFTools::SplitPart> &parts);
} // namespace

Result PDFTools::SplitPdf(const QString &source, const QString &destination, int startPage,
                          int stopPage) {
    return SplitPdfParts(source, {SplitPart{destination, startPage, stopPage}})
        .value(0, Result::failure(destination, reasonForError(0)));
}

QList<Result> PDFTools::SplitPdfParts(const QString &source, const QList<SplitPart> &parts) {
    try {
        return splitParts(source, parts);
    } catch (const std::exception &e) {
        // Out of memory outside the copying of a part.
        const Result failed = Result::failure(source, copyFailureReason(e));
        QList<Result> results;
        for (qsizetype i = 0; i < parts.size(); ++i)
            results.append(failed);
        return results;
    }
}

namespace {

QList<Result> splitParts(const QString &source, const QList<PDFTools::SplitPart> &parts) {
    using SplitPart = PDFTools::SplitPart;
    QList<Result> results(parts.size());
    if (parts.isEmpty())
        return results;
    QString error;
    const auto file = PdfFile::open(source, nullptr, &error);
    if (!file) {
        for (Result &result : results)
            result = Result::failure(source, error);
        return results;
    }

    // Parts go to two workers, each with its own parse of the source's bytes (qpdf objects
    // are not shared between threads). Parts with the same destination stay with one worker,
    // in order, so the later one still replaces the earlier.
    std::vector<std::vector<qsizetype>> work(1);
    if (parts.size() >= minimumPartsForTwoWorkers && std::thread::hardware_concurrency() > 1) {
        work.resize(2);
        QHash<QString, size_t> workerOfDestination;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString &destination = parts.at(i).destination;
            const auto found = workerOfDestination.constFind(destination);
            const size_t worker = found != workerOfDestination.cend()
                                      ? found.value()
                                      : static_cast<size_t>(workerOfDestination.size() % 2);
            workerOfDestination.insert(destination, worker);
            work[worker].push_back(i);
        }
    } else {
        for (qsizetype i = 0; i < parts.size(); ++i)
            work[0].push_back(i);
    }

    // Each worker writes only the results of its own parts (a vector: no detaching).
    std::vector<std::optional<Result>> written(static_cast<size_t>(parts.size()));
    auto writeParts = [&](PdfFile &document, const std::vector<qsizetype> &indexes) {
        try {
            PdfSource pages(document, 0);
            const bool pruneResources = pages.pagesShareResources();
            for (const qsizetype i : indexes) {
                const SplitPart &part = parts.at(i);
                if (part.startPage < 1 || part.startPage > part.stopPage ||
                    part.stopPage > pages.pageCount()) {
                    written[static_cast<size_t>(i)] = Result::failure(
                        source, QStringLiteral("no pages %1 to %2 (the document has %3)")
                                    .arg(part.startPage)
                                    .arg(part.stopPage)
                                    .arg(pages.pageCount()));
                    continue;
                }
                try {
                    if (pruneResources) {
                        for (int page = part.startPage - 1; page < part.stopPage; ++page)
                            pages.removeUnreferencedResources(page);
                    }
                    PdfAssembler assembler;
                    assembler.takeDocumentInfo(pages);
                    assembler.addPages(pages, part.startPage - 1, part.stopPage - 1, true);
                    written[static_cast<size_t>(i)] = assembler.write(part.destination);
                } catch (const std::exception &e) {
                    written[static_cast<size_t>(i)] = Result::failure(source, copyFailureReason(e));
                }
            }
        } catch (const std::exception &e) {
            for (const qsizetype i : indexes) {
                if (!written[static_cast<size_t>(i)])
                    written[static_cast<size_t>(i)] = Result::failure(source, copyFailureReason(e));
            }
        }
    };

    if (work.size() > 1 && !work[1].empty()) {
        std::unique_ptr<PdfFile> second = PdfFile::openBytes(file->bytes(), source);
        WorkerThread helper;
        if (second && helper.start([&] { writeParts(*second, work[1]); })) {
            writeParts(*file, work[0]);
            helper.join();
        } else {
            work[0].insert(work[0].end(), work[1].begin(), work[1].end());
            std::sort(work[0].begin(), work[0].end());
            writeParts(*file, work[0]);
        }
    } else {
        writeParts(*file, work[0]);
    }
    for (size_t i = 0; i < written.size(); ++i)
        results[static_cast<qsizetype>(i)] = written[i].value_or(
            Result::failure(parts.at(qsizetype(i)).destination, reasonForError(0)));
    return results;
}

} // namespace

Result PDFTools::CheckPdfPages(const QString &path) {
    QString error;
    auto file = PdfFile::open(path, nullptr, &error);
    if (!file)
        return Result::failure(path, error);
    Result result;
    try {
        if (file->qpdf().getAllPages().empty())
            result = Result::failure(path, noPagesReason());
    } catch (const std::exception &e) {
        return Result::failure(path,
                               QStringLiteral("damaged file: ") + QString::fromUtf8(e.what()));
    }
    PdfFile::keepForReuse(std::move(file)); // only read
    return result;
}

int PDFTools::GetPDFNumberOfPages(const QString &path) {
    auto file = PdfFile::open(path);
    if (!file)
        return 0;
    int count = 0;
    try {
        count = static_cast<int>(file->qpdf().getAllPages().size());
    } catch (const std::exception &) {
        return 0;
    }
    PdfFile::keepForReuse(std::move(file)); // only read
    return count;
}

QString PDFTools::GetSizeWithPath(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        logPdfProblem(path + QStringLiteral(": no such file"));
        return QStringLiteral("0 B");
    }
    const quint64 size = static_cast<quint64>(info.size());
    constexpr quint64 kilo = 1024;
    if (size < kilo)
        return QString::number(size) + QStringLiteral(" B");
    struct Unit {
        quint64 factor;
        const char *name;
    };
    static const Unit units[] = {{kilo, "KB"},
                                 {kilo * kilo, "MB"},
                                 {kilo * kilo * kilo, "GB"},
                                 {kilo * kilo * kilo * kilo, "TB"}};
    const Unit *unit = &units[0];
    for (const Unit &candidate : units) {
        if (size >= candidate.factor)
            unit = &candidate;
    }
    const float value = static_cast<float>(size) / static_cast<float>(unit->factor);
    return QString::asprintf("%.1f %s", static_cast<double>(value), unit->name);
}

namespace {

QString mediaSizeText(const PageGeometry &geometry) {
    return QString::number(clampedInteger<long long>(geometry.mediaBox.width())) +
           QStringLiteral(" x ") +
           QString::number(clampedInteger<long long>(geometry.mediaBox.height()));
}

} // namespace

QString PDFTools::GetPDFPageSize(const QString &path) {
    const auto geometry = pageGeometryOfFile(path, 1);
    if (!geometry)
        return QStringLiteral("0 x 0");
    return mediaSizeText(*geometry);
}

QSizeF PDFTools::GetPDFPageSize(const QString &path, int page) {
    const auto geometry = pageGeometryOfFile(path, page);
    return geometry ? geometry->displayedMediaSize() : QSizeF(0, 0);
}

QDateTime PDFTools::DocumentCreationDateWithPath(const QString &path) {
    const QFileInfo info(path);
    if (info.exists()) {
        const QDateTime birth = info.birthTime();
        if (birth.isValid())
            return birth;
        const QDateTime modified = info.lastModified();
        if (modified.isValid())
            return modified;
    }
    return QDateTime::currentDateTime();
}

PDFTools::PdfStatus PDFTools::CheckPdf(const QString &path, QString *reason) {
    PdfFile::Status status = PdfFile::Status::Unreadable;
    auto file = PdfFile::open(path, &status, reason);
    if (!file)
        return status == PdfFile::Status::NeedsPassword ? PdfStatus::NeedsPassword
                                                        : PdfStatus::Unreadable;
    const PdfStatus result = file->isEncrypted() ? PdfStatus::Encrypted : PdfStatus::Readable;
    if (reason && result == PdfStatus::Encrypted)
        *reason = QStringLiteral("the document is encrypted");
    PdfFile::keepForReuse(std::move(file)); // only read
    return result;
}

bool PDFTools::IsAcceptablePdf(const QString &path) {
    return CheckPdf(path) == PdfStatus::Readable;
}

PDFTools::PdfSummary PDFTools::SummarizePdf(const QString &path) {
    PdfSummary summary;
    PdfFile::Status status = PdfFile::Status::Unreadable;
    auto file = PdfFile::open(path, &status);
    if (!file) {
        if (status == PdfFile::Status::NeedsPassword)
            summary.status = PdfStatus::NeedsPassword;
        return summary;
    }
    if (file->isEncrypted()) {
        summary.status = PdfStatus::Encrypted;
        return summary;
    }
    summary.status = PdfStatus::Readable;
    try {
        const auto &pages = file->qpdf().getAllPages();
        summary.pageCount = static_cast<int>(pages.size());
        if (!pages.empty()) {
            QPDFPageObjectHelper first(pages.front());
            summary.firstPageSize = mediaSizeText(pageGeometry(first));
        }
    } catch (const std::exception &e) {
        // Opens, as CheckPdf() says, but its pages cannot be read.
        logPdfProblem(path + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        summary.pageCount = 0;
        return summary;
    }
    PdfFile::keepForReuse(std::move(file)); // only read
    return summary;
}

std::optional<PDFTools::DocumentProperties> PDFTools::ReadDocumentProperties(const QString &path) {
    auto file = PdfFile::open(path);
    if (!file)
        return std::nullopt;
    std::optional<DocumentProperties> properties;
    try {
        properties = readProperties(*file);
    } catch (const std::exception &e) {
        logPdfProblem(path + QStringLiteral(": ") + QString::fromUtf8(e.what()));
        return std::nullopt;
    }
    PdfFile::keepForReuse(std::move(file)); // only read
    return properties;
}

Result PDFTools::ChangedDocumentsPropertiesWithPdfPath(const QString &path, const QString &title,
                                                       const QString &author,
                                                       const QString &subject,
                                                       const QString &keywords) {
    QString error;
    const auto file = PdfFile::open(path, nullptr, &error);
    if (!file)
        return Result::failure(path, error);
    try {
        QPDF &pdf = file->qpdf();
        const DocumentProperties original = readProperties(*file);
        const QString fileName = fileNameValue(path);
        const auto order = ReplacementOrder::OriginalFirst;
        const QString newTitle = applyTextTemplate(title, original.title, fileName, order);
        const QString newAuthor = applyTextTemplate(author, original.author, fileName, order);
        const QString newSubject = applyTextTemplate(subject, original.subject, fileName, order);
        const QStringList newKeywords =
            applyKeywordsTemplate(keywords, original.keywords, fileName);

        if (const QString lost = pagesLostByRewriting(pdf); !lost.isEmpty())
            return Result::failure(path, lost);

        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        // A damaged trailer may point /Info at the page tree, and a direct dictionary cannot
        // be updated on its own: start a dictionary of its own.
        if (!info.isDictionary() || !info.isIndirect() || info.isPagesObject() ||
            info.isPageObject() || info.getObjGen() == pdf.getRoot().getObjGen()) {
            QPDFObjectHandle entries = QPDFObjectHandle::newDictionary();
            if (info.isDictionary() && !info.isIndirect())
                entries = info.shallowCopy();
            info = pdf.makeIndirectObject(entries);
            trailer.replaceKey("/Info", info);
        }
        info.replaceKey("/Title", textString(newTitle));
        info.replaceKey("/Author", textString(newAuthor));
        info.replaceKey("/Subject", textString(newSubject));
        info.replaceKey("/Keywords", textString(keywordsToText(newKeywords)));
        std::vector<QPDFObjectHandle> changed = {info};

        QPDFObjectHandle metadata = metadataStream(pdf);
        const QByteArray packet = metadataPacket(metadata, path);
        if (!packet.isEmpty()) {
            const QByteArray updated =
                updateXmpProperties(packet, newTitle, newAuthor, newSubject, newKeywords);
            if (updated.isEmpty()) {
                logPdfProblem(path + QStringLiteral(": XMP metadata left as it is (unparsable)"));
            } else {
                metadata.replaceStreamData(updated.toStdString(), QPDFObjectHandle::newNull(),
                                           QPDFObjectHandle::newNull());
                changed.push_back(metadata);
            }
        }
        // Appended to the file as an update where it allows, so that what was signed stays
        // as it was (and a large file is not written again); damaged and encrypted files
        // are rewritten.
        return writeChanges(file->bytes(), pdf, changed, path, nullptr, UpdateCheck::ReadBack,
                            ExistingFile::Edit);
    } catch (const std::exception &e) {
        return Result::failure(path, copyFailureReason(e));
    }
}

} // namespace ventara::engine

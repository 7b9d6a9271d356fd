#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pdffile.h"

#include "engine/pdf/atomicfile.h"
#include "engine/pdf/structurelimits.h"
#include "engine/pdf/workerthread.h"

#include <QFile>

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/Pl_Function.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ventara::engine {

struct PdfParseCache::Documents {
    std::mutex mutex;
    std::unordered_map<QString, std::unique_ptr<PdfFile>> files; // by path
    qint64 budget = 0;
    qint64 used = 0;
};

namespace {

// Warnings of a document being opened on this thread are held here until it is known
// whether it opens.
thread_local std::string *t_heldWarnings = nullptr;
thread_local int t_quietScopes = 0;

// One logger for every document: qpdf's warnings and errors go to the standard error
// output (never to the standard output), its informational messages nowhere. The
// pipelines keep no state of their own (only the thread's), so sharing them is safe.
std::shared_ptr<QPDFLogger> diagnosticsLogger() {
    static const std::shared_ptr<QPDFLogger> logger = [] {
        auto toStderr = [](unsigned char const *data, size_t length) {
            if (t_heldWarnings)
                t_heldWarnings->append(reinterpret_cast<const char *>(data), length);
            else if (t_quietScopes == 0)
                std::fwrite(data, 1, length, stderr);
        };
        auto result = QPDFLogger::create();
        result->setInfo(std::make_shared<Pl_Discard>());
        result->setWarn(std::make_shared<Pl_Function>("warnings", nullptr, toStderr));
        result->setError(std::make_shared<Pl_Function>("errors", nullptr, toStderr));
        return result;
    }();
    return logger;
}

void report(PdfFile::Status *status, QString *error, PdfFile::Status value, const QString &text) {
    if (status)
        *status = value;
    if (error)
        *error = text;
}

// Why qpdf could not use `bytes`: not a PDF at all, or a damaged one (with qpdf's words).
QString damagedReason(const QByteArray &bytes, const QString &detail) {
    // Readers accept the header anywhere in the first kilobyte.
    if (bytes.left(1024).indexOf("%PDF-") < 0)
        return bytes.isEmpty() ? QStringLiteral("empty file") : QStringLiteral("not a PDF file");
    return detail.isEmpty() ? QStringLiteral("damaged file")
                            : QStringLiteral("damaged file: ") + detail;
}

// The living cache's documents, if any.
std::atomic<PdfParseCache::Documents *> g_parseCache = nullptr;

// Gathers qpdf's many small writes (a token or a few bytes each) into large ones: through
// stdio, each would take the stream's lock and a call of its own, a fifth of a merge's write.
// A failed write is remembered, not thrown: qpdf also finishes its pipelines while it unwinds.
class BufferedFilePipeline final : public Pipeline {
public:
    explicit BufferedFilePipeline(FILE *file)
        : Pipeline("output file", nullptr)
        , m_file(file)
        , m_buffer(new unsigned char[capacity]) {}

    void write(unsigned char const *data, size_t length) override {
        if (m_used + length > capacity) {
            flush();
            if (length >= capacity) {
                put(data, length);
                return;
            }
        }
        std::memcpy(m_buffer.get() + m_used, data, length);
        m_used += length;
    }

    void finish() override { flush(); }

    bool failed() const { return m_failed; }
    int error() const { return m_error; } // errno of the failed write

private:
    static constexpr size_t capacity = size_t(256) << 10;

    void flush() {
        put(m_buffer.get(), m_used);
        m_used = 0;
    }

    void put(const unsigned char *data, size_t length) {
        if (!m_failed && length > 0 && std::fwrite(data, 1, length, m_file) != length) {
            m_failed = true;
            m_error = errno;
        }
    }

    FILE *m_file;
    std::unique_ptr<unsigned char[]> m_buffer;
    size_t m_used = 0;
    bool m_failed = false;
    int m_error = 0;
};

// The thread of destroyInBackground(), started on first use and joined at exit.
class BackgroundDestroyer {
public:
    ~BackgroundDestroyer() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void add(std::shared_ptr<void> object) {
        {
            std::lock_guard lock(m_mutex);
            try {
                m_objects.push_back(std::move(object));
            } catch (const std::bad_alloc &) {
                return; // `object` is left as it was, and destroyed here
            }
            if (!m_thread.isStarted() && !m_thread.start([this] { run(); })) {
                object = std::move(m_objects.back()); // no thread: destroyed here
                m_objects.pop_back();
                return;
            }
        }
        m_wake.notify_one();
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || !m_objects.empty(); });
            if (m_objects.empty())
                return;
            std::shared_ptr<void> object = std::move(m_objects.front());
            m_objects.pop_front();
            lock.unlock();
            object.reset();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<void>> m_objects;
    bool m_stop = false;
    WorkerThread m_thread;
};

// Why a file of `mode` (not a regular file) cannot be read as a document.
QString notAFileReason(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("not a regular file (a named pipe)");
    if (S_ISSOCK(mode))
        return QStringLiteral("not a regular file (a socket)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("not a regular file (a device)");
    return QStringLiteral("not a regular file");
}

// Reads the file open at `handle` to its end into `bytes`: `size` bytes in one read (as
// large as the file system says it is) instead of growing a buffer, then whatever was
// appended since. Returns 0, or the errno of the failure (ENOMEM when there is no room).
int readWholeFile(int handle, qint64 size, QByteArray *bytes) {
    auto readSome = [handle](char *into, qint64 room) -> ssize_t {
        for (;;) {
            const ssize_t got = ::read(handle, into, static_cast<size_t>(room));
            if (got >= 0 || errno != EINTR)
                return got;
        }
    };
    try {
        bytes->resize(std::max<qint64>(size, 0));
        qint64 used = 0;
        while (used < bytes->size()) {
            const ssize_t got = readSome(bytes->data() + used, bytes->size() - used);
            if (got < 0)
                return errno != 0 ? errno : EIO;
            if (got == 0)
                break;
            used += got;
        }
        bytes->resize(used);
        char chunk[16384];
        for (;;) {
            const ssize_t got = readSome(chunk, sizeof chunk);
            if (got < 0)
                return errno != 0 ? errno : EIO;
            if (got == 0)
                return 0;
            bytes->append(chunk, got);
        }
    } catch (const std::bad_alloc &) {
        bytes->clear();
        return ENOMEM;
    }
}

} // namespace

void destroyInBackground(std::shared_ptr<void> object) {
    static BackgroundDestroyer destroyer;
    if (object)
        destroyer.add(std::move(object));
}

PdfFile::~PdfFile() = default;

std::optional<PdfFile::FileIdentity> PdfFile::identityOfFile(const QString &path, int handle) {
    struct stat info;
    const int result =
        handle >= 0 ? ::fstat(handle, &info) : ::stat(QFile::encodeName(path).constData(), &info);
    if (result != 0)
        return std::nullopt;
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                        qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::unique_ptr<PdfFile> PdfFile::open(const QString &path, Status *status, QString *error) {
    if (PdfParseCache::Documents *cache = g_parseCache.load()) {
        std::unique_ptr<PdfFile> kept;
        {
            std::lock_guard lock(cache->mutex);
            const auto found = cache->files.find(path);
            if (found != cache->files.end()) {
                kept = std::move(found->second);
                cache->files.erase(found);
                cache->used -= kept->m_bytes.size();
            }
        }
        // A file changed since is parsed anew.
        if (kept && kept->m_identity == identityOfFile(path, -1)) {
            if (t_quietScopes == 0 && !kept->m_warnings.empty()) {
                std::fwrite(kept->m_warnings.data(), 1, kept->m_warnings.size(), stderr);
                kept->m_warnings.clear();
            }
            report(status, error, Status::Opened, {});
            return kept;
        }
    }

    // Opened without waiting, so that a named pipe cannot hold the run until a writer comes.
    errno = 0;
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (handle < 0) {
        report(status, error, Status::Unreadable, reasonForError(errno, true));
        return nullptr;
    }
    const struct Closer {
        int handle;
        ~Closer() { ::close(handle); }
    } closer{handle};
    struct stat info;
    if (::fstat(handle, &info) != 0) {
        report(status, error, Status::Unreadable, reasonForError(errno, true));
        return nullptr;
    }
    // Pipes, devices (/dev/zero never ends) and sockets are not documents.
    if (!S_ISREG(info.st_mode)) {
        report(status, error, Status::Unreadable, notAFileReason(info.st_mode));
        return nullptr;
    }
    const std::optional<FileIdentity> identity = identityOfFile(path, handle);
    QByteArray bytes;
    if (const int readError = readWholeFile(handle, identity ? identity->size : 0, &bytes)) {
        report(status, error, Status::Unreadable,
               readError == ENOMEM ? reasonForError(ENOMEM)
                                   : QString(QStringLiteral("could not be read: ") +
                                             QString::fromLocal8Bit(std::strerror(readError))));
        return nullptr;
    }
    std::unique_ptr<PdfFile> result = openBytes(bytes, path, status, error);
    if (result)
        result->m_identity = identity;
    return result;
}

void PdfFile::keepForReuse(std::unique_ptr<PdfFile> file) {
    PdfParseCache::Documents *cache = g_parseCache.load();
    if (!cache || !file || !file->m_identity)
        return;
    std::unique_ptr<PdfFile> dropped; // destroyed outside the lock
    std::lock_guard lock(cache->mutex);
    std::unique_ptr<PdfFile> &slot = cache->files[file->m_description];
    const qint64 used = cache->used + file->m_bytes.size() - (slot ? slot->m_bytes.size() : 0);
    if (used > cache->budget) {
        dropped = std::move(file);
        if (!slot)
            cache->files.erase(dropped->m_description);
        return;
    }
    dropped = std::move(slot);
    slot = std::move(file);
    cache->used = used;
}

std::unique_ptr<PdfFile> PdfFile::openBytes(const QByteArray &bytes, const QString &description,
                                            Status *status, QString *error) {
    std::unique_ptr<PdfFile> result(new (std::nothrow) PdfFile);
    if (!result) {
        report(status, error, Status::Unreadable, reasonForError(ENOMEM));
        return nullptr;
    }
    result->m_bytes = bytes;
    result->m_description = description;
    std::string warnings;
    struct HoldWarnings {
        explicit HoldWarnings(std::string *buffer) { t_heldWarnings = buffer; }
        ~HoldWarnings() { t_heldWarnings = nullptr; }
    } hold(&warnings);
    try {
        result->m_qpdf = std::make_unique<QPDF>();
        result->m_qpdf->setLogger(diagnosticsLogger());
        result->m_qpdf->processMemoryFile(description.toUtf8().constData(),
                                          result->m_bytes.constData(),
                                          static_cast<size_t>(result->m_bytes.size()));
        // qpdf lists the pages recursively: a tree too deep for the stack is refused first.
        if (const QString deep = pageTreeDepthProblem(*result->m_qpdf); !deep.isEmpty()) {
            report(status, error, Status::Unreadable, deep);
            return nullptr;
        }
        // A document whose catalog or page tree is missing parses, but is of no use.
        result->m_qpdf->getAllPages();
    } catch (const QPDFExc &e) {
        if (e.getErrorCode() == qpdf_e_password)
            report(status, error, Status::NeedsPassword, QStringLiteral("protected by a password"));
        else
            report(status, error, Status::Unreadable,
                   damagedReason(bytes, QString::fromStdString(e.getMessageDetail())));
        return nullptr;
    } catch (const std::bad_alloc &) {
        report(status, error, Status::Unreadable, reasonForError(ENOMEM));
        return nullptr;
    } catch (const std::exception &e) {
        report(status, error, Status::Unreadable,
               damagedReason(bytes, QString::fromUtf8(e.what())));
        return nullptr;
    }
    t_heldWarnings = nullptr;
    if (t_quietScopes == 0)
        std::fwrite(warnings.data(), 1, warnings.size(), stderr);
    else
        result->m_warnings = std::move(warnings); // for a later open of a reused document
    report(status, error, Status::Opened, {});
    return result;
}

bool PdfFile::isEncrypted() const {
    return m_qpdf->isEncrypted();
}

Result writePdf(QPDF &pdf, const QString &target, PdfWriteMode mode,
                const std::string &minimumVersion, int extensionLevel, ExistingFile existing) {
    return writeAtomically(
        target,
        [&](const QString &temporaryPath) -> Result {
            const QByteArray fileName = QFile::encodeName(temporaryPath);
            // Our own stream, so that a failure to flush the last buffered bytes is noticed.
            FILE *file = std::fopen(fileName.constData(), "wb");
            if (!file)
                return Result::failure(target, reasonForError(errno));
            bool written = false;
            QString reason;
            int lastError = 0;
            try {
                BufferedFilePipeline output(file);
                QPDFWriter writer(pdf);
                writer.setOutputPipeline(&output);
                if (mode != PdfWriteMode::SameDocument) {
                    // As small as qpdf writes it: streams without a filter and those in older
                    // filters (ASCII85, LZW...) are compressed, compressed ones are copied as
                    // they are. XMP metadata stays readable, as PDF/A requires.
                    writer.setDecodeLevel(qpdf_dl_generalized);
                    writer.setCompressStreams(true);
                    writer.setObjectStreamMode(mode == PdfWriteMode::NewCompactDocument
                                                   ? qpdf_o_generate
                                                   : qpdf_o_disable);
                } else {
                    // Copy stream data as it is: no decoding and re-encoding.
                    writer.setDecodeLevel(qpdf_dl_none);
                    writer.setCompressStreams(false);
                    writer.setObjectStreamMode(qpdf_o_preserve);
                    writer.setPreserveEncryption(true);
                }
                if (!minimumVersion.empty())
                    writer.setMinimumPDFVersion(minimumVersion, extensionLevel);
                writer.write();
                written = !output.failed();
                if (!written)
                    lastError = output.error();
            } catch (const QPDFSystemError &e) {
                // A failed write of the output (disk full...).
                reason = reasonForError(e.getErrno());
            } catch (const std::bad_alloc &) {
                reason = reasonForError(ENOMEM);
            } catch (const std::exception &e) {
                reason = QStringLiteral("could not be written: ") + QString::fromUtf8(e.what());
            }
            errno = 0;
            if (std::fflush(file) != 0 || std::ferror(file)) {
                if (errno != 0)
                    lastError = errno;
                written = false;
            }
            errno = 0;
            if (std::fclose(file) != 0) {
                if (errno != 0)
                    lastError = errno;
                written = false;
            }
            if (written)
                return Result();
            if (reason.isEmpty())
                reason = lastError != 0 ? writeFailureReason(lastError, target) : reasonForError(0);
            return Result::failure(target, reason);
        },
        existing);
}

PdfParseCache::PdfParseCache(qint64 budget) {
    auto documents = std::make_unique<Documents>();
    documents->budget = budget;
    Documents *expected = nullptr;
    if (g_parseCache.compare_exchange_strong(expected, documents.get()))
        m_documents = documents.release();
}

PdfParseCache::~PdfParseCache() {
    if (!m_documents)
        return;
    g_parseCache.store(nullptr);
    delete m_documents;
}

QuietPdfWarnings::QuietPdfWarnings() {
    ++t_quietScopes;
}

QuietPdfWarnings::~QuietPdfWarnings() {
    --t_quietScopes;
}

void logPdfProblem(const QString &message) {
    const QByteArray line = QByteArrayLiteral("ventara: ") + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

} // namespace ventara::engine

#pragma once

#include "engine/pdf/atomicfile.h"
#include "engine/pdf/result.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QPDF;

namespace ventara::engine {

// A PDF file opened with qpdf from a copy of its bytes in memory.
//
// The whole file is read at once, so qpdf never seeks in the file again, the file may be
// replaced while the document is open (an input that is also an output), and stream data
// stays available until the object is destroyed. qpdf's warnings about damaged files go to
// the standard error output, those of a file that cannot be opened are dropped (the
// result says it all); recovered files open normally. Not thread-safe: use one
// object per thread (different objects may be used on different threads at once).
class PdfFile {
public:
    enum class Status {
        Opened,        // parsed, with a readable page tree
        Unreadable,    // missing, unreadable, not a PDF, or damaged beyond recovery
        NeedsPassword, // encrypted with a user password (or a certificate)
    };

    ~PdfFile();
    PdfFile(const PdfFile &) = delete;
    PdfFile &operator=(const PdfFile &) = delete;

    // Opens `path` (a local file path). Returns null when the file cannot be used; `status`
    // tells why and `error` gives the reason in words for the user (both optional): "no such
    // file", "not a PDF file", "damaged file: " and qpdf's message, "protected by a
    // password"...
    // While a PdfParseCache lives, a document of the same unchanged file handed to
    // keepForReuse() is taken instead of parsing the file again. Never throws.
    static std::unique_ptr<PdfFile> open(const QString &path, Status *status = nullptr,
                                         QString *error = nullptr);

    // Hands back a document opened from a file and not changed since: while a
    // PdfParseCache lives, the next open() of the same file takes it (when the cache has
    // room); otherwise it is destroyed. Thread-safe.
    static void keepForReuse(std::unique_ptr<PdfFile> file);

    // Opens a PDF held in memory; `description` names it in qpdf's warnings.
    static std::unique_ptr<PdfFile> openBytes(const QByteArray &bytes, const QString &description,
                                              Status *status = nullptr, QString *error = nullptr);

    QPDF &qpdf() { return *m_qpdf; }

    // The file's bytes (shared, not copied). Stream data copied from this document into
    // another one is read from them when that one is written: keep them until then. The
    // document itself may be destroyed earlier.
    QByteArray bytes() const { return m_bytes; }
    const QString &description() const { return m_description; }

    // Whether the document is encrypted (an owner-password-only file opens and says true).
    bool isEncrypted() const;

private:
    // What identifies the file a document was read from: a file replaced or changed since
    // has another identity.
    struct FileIdentity {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNanoseconds = 0;
        bool operator==(const FileIdentity &) const = default;
    };

    PdfFile() = default;
    static std::optional<FileIdentity> identityOfFile(const QString &path, int handle);

    // Declared before m_qpdf so that the bytes outlive the parser that reads them.
    QByteArray m_bytes;
    std::unique_ptr<QPDF> m_qpdf;
    QString m_description;
    std::optional<FileIdentity> m_identity; // set when read from a file
    std::string m_warnings; // qpdf's warnings of the parse, until they have been shown
};

// While an object of this class lives, documents handed to PdfFile::keepForReuse() are kept,
// and the next PdfFile::open() of the same file, on any thread, takes such a document
// instead of parsing the file again, provided the file has not changed since (same device,
// inode, size and modification time). Its qpdf warnings are shown by the first open that
// does not suppress them. Documents not taken are destroyed with the cache.
//
// For a caller that checks files and then runs an operation over them, as the command line
// does: PDFTools::CheckPdf() and the other read-only PDFTools functions hand their document
// back, so the operation parses each file once. At most `budget` bytes of files are kept
// (documents beyond are destroyed as without a cache). One cache at a time; create and
// destroy it on one thread, while no operation runs.
class PdfParseCache {
public:
    explicit PdfParseCache(qint64 budget = qint64(256) << 20);
    ~PdfParseCache();
    PdfParseCache(const PdfParseCache &) = delete;
    PdfParseCache &operator=(const PdfParseCache &) = delete;

    struct Documents;

private:
    Documents *m_documents = nullptr; // null when another cache was living already
};

enum class PdfWriteMode {
    // A document assembled from pages of other documents: compressed stream data is copied
    // as it is, other streams are compressed.
    NewDocument,
    // As NewDocument, and the other objects are put into object streams (PDF 1.5): smaller,
    // but qpdf then goes through every object twice.
    NewCompactDocument,
    // An existing document rewritten in place: stream data, object streams and encryption
    // are kept as the source had them.
    SameDocument,
};

// Writes `pdf` to `target` through writeAtomically(): the target is replaced only when the
// new file is complete, and keeps its permissions. On failure nothing is left behind and the
// result names `target` with the reason. `minimumVersion` ("1.7", optionally with `extensionLevel`)
// raises the header version. Never throws.
Result writePdf(QPDF &pdf, const QString &target, PdfWriteMode mode,
                const std::string &minimumVersion = {}, int extensionLevel = 0,
                ExistingFile existing = ExistingFile::Replace);

// While an object of this class lives, qpdf's warnings about damaged files opened on the
// current thread are not shown: for callers that open one file several times and have let
// its warnings through once. Scopes may nest.
class QuietPdfWarnings {
public:
    QuietPdfWarnings();
    ~QuietPdfWarnings();
    QuietPdfWarnings(const QuietPdfWarnings &) = delete;
    QuietPdfWarnings &operator=(const QuietPdfWarnings &) = delete;
};

// Destroys `object` (when this is its last owner) on a thread of its own, so that the caller
// need not wait while a large parsed document is freed; objects are destroyed in the order
// they are handed over. A program that exits normally waits until all are destroyed; one
// that ends with std::_Exit() lets the system take their memory back at once.
void destroyInBackground(std::shared_ptr<void> object);

// Prints one diagnostic line ("ventara: " + message) on the standard error output.
// Thread-safe.
void logPdfProblem(const QString &message);

} // namespace ventara::engine

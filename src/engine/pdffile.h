#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

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
    // tells why and `error` gives qpdf's or the file system's reason (both optional).
    // Never throws.
    static std::unique_ptr<PdfFile> open(const QString &path, Status *status = nullptr,
                                         QString *error = nullptr);

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
    PdfFile() = default;

    // Declared before m_qpdf so that the bytes outlive the parser that reads them.
    QByteArray m_bytes;
    std::unique_ptr<QPDF> m_qpdf;
    QString m_description;
};

enum class PdfWriteMode {
    // A document assembled from pages of other documents: stream data is copied as it is,
    // no object streams are generated.
    NewDocument,
    // An existing document rewritten in place: stream data, object streams and encryption
    // are kept as the source had them.
    SameDocument,
};

// Writes `pdf` to `target` through writeAtomically(): the target is replaced only when the
// new file is complete, and keeps its permissions. Returns false on any failure (nothing
// is left behind then). `minimumVersion` ("1.7", optionally with `extensionLevel`) raises
// the header version. Never throws.
bool writePdf(QPDF &pdf, const QString &target, PdfWriteMode mode,
              const std::string &minimumVersion = {}, int extensionLevel = 0);

// While an object of this class lives, qpdf's warnings about damaged files opened on the
// current thread are not shown: for callers that open one file several times and have let
// its warnings through once. Scopes may nest.
class QuietPdfWarnings
{
public:
    QuietPdfWarnings();
    ~QuietPdfWarnings();
    QuietPdfWarnings(const QuietPdfWarnings &) = delete;
    QuietPdfWarnings &operator=(const QuietPdfWarnings &) = delete;
};

// Prints one diagnostic line ("ventara: " + message) on the standard error output.
// Thread-safe.
void logPdfProblem(const QString &message);

} // namespace ventara::engine

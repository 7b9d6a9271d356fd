#include "cli/command.h"
#include "cli/toolcommand.h"

#include "engine/pdf/documentproperties.h"
#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"

#include <QFileInfo>

namespace ventara::cli {

namespace {

using engine::PDFTools;

// Lists one file, after a blank line when `separate`; returns false (after reporting why)
// when it cannot be read.
bool listFile(const QString &path, bool separate, CommandIo &io) {
    // qpdf's warnings about a damaged file are shown by the first opening only.
    QString reason;
    const PDFTools::PdfStatus status = PDFTools::CheckPdf(path, &reason);
    const engine::QuietPdfWarnings quiet;
    if (status != PDFTools::PdfStatus::Readable && status != PDFTools::PdfStatus::Encrypted) {
        reportError(io,
                    path + QStringLiteral(": ") + engine::PDFTools::ProblemText(status, reason));
        return false;
    }
    const auto properties = PDFTools::ReadDocumentProperties(path);
    if (!properties) {
        reportError(io, path + QStringLiteral(": the document could not be read"));
        return false;
    }
    if (separate)
        io.out << '\n';
    io.out << path << '\n'
           << "Number of Pages: " << PDFTools::GetPDFNumberOfPages(path) << '\n'
           << "Page Size: " << PDFTools::GetPDFPageSize(path) << '\n'
           << "File Size: " << PDFTools::GetSizeWithPath(path) << '\n'
           << "Title: " << properties->title << '\n'
           << "Author: " << properties->author << '\n'
           << "Subject: " << properties->subject << '\n'
           << "Keywords: " << engine::keywordsToText(properties->keywords) << '\n'
           << "Encrypted: " << (status == PDFTools::PdfStatus::Encrypted ? "yes" : "no") << '\n';
    return true;
}

int runInfo(const QStringList &arguments, CommandIo &io) {
    const Command command = infoCommand();
    if (wantsHelp(arguments)) {
        printCommandHelp(command, io.out);
        return ExitSuccess;
    }
    QStringList files;
    QString problem;
    if (!fileOperands(arguments, &files, &problem))
        return usageError(io, command, problem);
    if (files.isEmpty())
        return usageError(io, command, QStringLiteral("no files given"));
    // Each file is parsed once for all it shows.
    const engine::PdfParseCache parsed;
    bool allListed = true;
    bool anyListed = false;
    for (const QString &file : files) {
        const bool listed = listFile(file, anyListed, io);
        anyListed = anyListed || listed;
        allListed = allListed && listed;
        io.out.flush();
    }
    return allListed ? ExitSuccess : ExitFailure;
}

} // namespace

Command infoCommand() {
    return Command{QStringLiteral("info"),
                   QStringLiteral("FILE..."),
                   QStringLiteral("Show the page count, page and file size, properties and "
                                  "encryption of PDF files"),
                   runInfo,
                   {}};
}

} // namespace ventara::cli

#pragma once

#include <QString>

#include <functional>

namespace ventara::toolkit {

// The facts the document list needs about a file, as replaceable functions so that the list
// can be tested without real PDF files. Each function must be safe to call with any path,
// including paths of missing or unreadable files, and must never throw.
struct DocumentInspector {
    // True when the file opens as a PDF and is not encrypted (a document with only an owner
    // password counts as encrypted). Decides whether a file may join the list.
    std::function<bool(const QString &path)> isAcceptable;

    // Number of pages; 0 when the file cannot be opened.
    std::function<int(const QString &path)> pageCount;

    // Size of the first page as shown to the user (e.g. "612 x 792"); "0 x 0" on failure.
    std::function<QString(const QString &path)> pageSize;

    // Size of the file as shown to the user (e.g. "1.5 KB"); "0 B" on failure.
    std::function<QString(const QString &path)> fileSize;

    // What a document list reads of a file when it is added.
    struct Facts {
        bool acceptable = false;
        int pageCount = 0;
        QString pageSize = QStringLiteral("0 x 0");
    };

    // The facts of a file, read at once where the inspector can (the PDF engine opens the
    // file once); otherwise from isAcceptable, pageCount and pageSize (the last only when
    // `withPageSize`). Safe to call on any thread when the functions are.
    std::function<Facts(const QString &path)> describe;
    Facts factsOf(const QString &path, bool withPageSize) const;

    // The inspector of the application: the PDF engine's answers.
    static DocumentInspector pdfEngine();
};

} // namespace ventara::toolkit

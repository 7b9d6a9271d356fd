#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include "engine/pdf/pdfupdate.h"

#include "engine/pdf/atomicfile.h"
#include "engine/pdf/pdffile.h"

#include <QFile>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <string>

namespace ventara::engine {

namespace {

bool isPdfWhitespace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

// The offset after the file's last "startxref", or -1.
qint64 lastCrossReferenceOffset(const QByteArray &bytes) {
    // The keyword stands within the last kilobyte in any file a reader accepts.
    const qsizetype keyword = bytes.lastIndexOf("startxref");
    if (keyword < 0 || keyword < bytes.size() - 1024)
        return -1;
    qsizetype i = keyword + 9;
    while (i < bytes.size() && isPdfWhitespace(bytes.at(i)))
        ++i;
    qint64 offset = 0;
    const qsizetype start = i;
    while (i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes.at(i))) &&
           i - start < 18)
        offset = offset * 10 + (bytes.at(i++) - '0');
    if (i == start || offset >= bytes.size())
        return -1;
    return offset;
}

// Whether a name needs no escaping: letters, digits and the usual punctuation of names.
bool isPlainName(const std::string &name) {
    if (name.size() < 2 || name.front() != '/')
        return false;
    for (size_t i = 1; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c) && c != '.' && c != '-' && c != '_' && c != '+' && c != ',')
            return false;
    }
    return true;
}

void appendName(std::string &out, const std::string &name) {
    if (isPlainName(name))
        out += name;
    else
        out += QPDFObjectHandle::newName(name).unparse();
}

// Writes `object` as PDF syntax. Unlike qpdf's unparse(), references are written without
// reading the objects they lead to: those stay as they are in the file, and reading them
// all would cost more than the whole update. With `resolved`, an indirect object is written
// as its own value rather than as a reference.
void appendObject(std::string &out, QPDFObjectHandle object, bool resolved = false) {
    if (object.isIndirect() && !resolved) {
        out += std::to_string(object.getObjectID());
        out += ' ';
        out += std::to_string(object.getGeneration());
        out += " R";
    } else if (object.isDictionary()) {
        out += "<<";
        for (const auto &[key, value] : object.getDictAsMap()) {
            out += ' ';
            appendName(out, key);
            out += ' ';
            appendObject(out, value);
        }
        out += " >>";
    } else if (object.isArray()) {
        out += '[';
        const int count = object.getArrayNItems();
        for (int i = 0; i < count; ++i) {
            out += ' ';
            appendObject(out, object.getArrayItem(i));
        }
        out += " ]";
    } else if (object.isName()) {
        appendName(out, object.getName());
    } else {
        out += object.isIndirect() ? object.unparseResolved() : object.unparse();
    }
}

void appendBigEndian(QByteArray &out, quint64 value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
}

// Whether `bytes` parse without damage into a document in which every object of `changed`
// has the value it has in memory. (The page tree is not read again: the update holds only
// the changed objects, and walking a large tree would cost more than the update saves.)
bool readsBack(const QByteArray &bytes, const std::vector<QPDFObjectHandle> &changed) {
    try {
        QPDF reread;
        reread.setSuppressWarnings(true);
        reread.processMemoryFile("update", bytes.constData(), static_cast<size_t>(bytes.size()));
        if (!reread.getRoot().isDictionary())
            return false;
        for (QPDFObjectHandle object : changed) {
            QPDFObjectHandle copy = reread.getObjectByObjGen(object.getObjGen());
            if (object.isStream()) {
                if (!copy.isStream())
                    return false;
                const auto a = object.getRawStreamData();
                const auto b = copy.getRawStreamData();
                if (a->getSize() != b->getSize() ||
                    !std::equal(a->getBuffer(), a->getBuffer() + a->getSize(), b->getBuffer()))
                    return false;
            } else {
                // Compared as written, references unread (reading what they lead to would
                // cost more than the whole update).
                std::string written;
                std::string meant;
                appendObject(written, copy, true);
                appendObject(meant, object, true);
                if (written != meant)
                    return false;
            }
        }
        return !reread.anyWarnings();
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace

std::optional<QByteArray> incrementalUpdate(const QByteArray &original, QPDF &pdf,
                                            const std::vector<QPDFObjectHandle> &changed) {
    try {
        if (pdf.isEncrypted() || pdf.anyWarnings() || !original.startsWith("%PDF-"))
            return std::nullopt;
        const qint64 previous = lastCrossReferenceOffset(original);
        if (previous < 0)
            return std::nullopt;
        qsizetype section = previous;
        while (section < original.size() && isPdfWhitespace(original.at(section)))
            ++section;
        const bool table = original.mid(section, 4) == "xref";
        if (changed.empty())
            return QByteArray();

        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle size = trailer.getKey("/Size");
        if (!size.isInteger() || size.getIntValue() < 1 || !trailer.getKey("/Root").isIndirect())
            return std::nullopt;
        long long objectCount = size.getIntValue();

        // Offsets are counted from the start of the original file.
        QByteArray update;
        if (!original.endsWith('\n') && !original.endsWith('\r'))
            update.append('\n');
        std::map<int, std::pair<qint64, int>> entries; // object -> (offset, generation)
        for (QPDFObjectHandle object : changed) {
            if (!object.isIndirect() || object.getOwningQPDF() != &pdf)
                return std::nullopt;
            const QPDFObjGen id = object.getObjGen();
            if (entries.count(id.getObj()))
                continue;
            entries[id.getObj()] = {original.size() + update.size(), id.getGen()};
            objectCount = std::max<long long>(objectCount, id.getObj() + 1);
            update.append(QByteArray::number(id.getObj()));
            update.append(' ');
            update.append(QByteArray::number(id.getGen()));
            update.append(" obj\n");
            std::string value;
            if (object.isStream()) {
                // The data as it is to be stored (replaced data with its filters, or the
                // original bytes), with a length of its own.
                const auto data = object.getRawStreamData();
                QPDFObjectHandle dictionary = object.getDict().shallowCopy();
                dictionary.replaceKey("/Length", QPDFObjectHandle::newInteger(
                                                     static_cast<long long>(data->getSize())));
                appendObject(value, dictionary);
                value += "\nstream\n";
                value.append(reinterpret_cast<const char *>(data->getBuffer()), data->getSize());
                value += "\nendstream";
            } else {
                appendObject(value, object, true);
            }
            update.append(value.data(), qsizetype(value.size()));
            update.append("\nendobj\n");
        }

        QPDFObjectHandle newTrailer = QPDFObjectHandle::newDictionary();
        for (const char *key : {"/Root", "/Info", "/ID"}) {
            if (trailer.hasKey(key))
                newTrailer.replaceKey(key, trailer.getKey(key));
        }
        newTrailer.replaceKey("/Prev", QPDFObjectHandle::newInteger(previous));

        const qint64 sectionOffset = original.size() + update.size();
        if (table) {
            newTrailer.replaceKey("/Size", QPDFObjectHandle::newInteger(objectCount));
            update.append("xref\n");
            for (const auto &[number, entry] : entries) {
                update.append(QByteArray::number(number));
                update.append(" 1\n");
                char row[32];
                std::snprintf(row, sizeof row, "%010lld %05d n\r\n",
                              static_cast<long long>(entry.first), entry.second);
                update.append(row);
            }
            update.append("trailer\n");
            update.append(QByteArray::fromStdString(newTrailer.unparse()));
        } else {
            // The section is a stream object of its own, the next free number.
            const long long streamNumber = objectCount;
            entries[int(streamNumber)] = {sectionOffset, 0};
            int offsetWidth = 1;
            while (offsetWidth < 8 && (quint64(sectionOffset) >> (offsetWidth * 8)) != 0)
                ++offsetWidth;
            QByteArray rows;
            QPDFObjectHandle index = QPDFObjectHandle::newArray();
            for (const auto &[number, entry] : entries) {
                index.appendItem(QPDFObjectHandle::newInteger(number));
                index.appendItem(QPDFObjectHandle::newInteger(1));
                appendBigEndian(rows, 1, 1);
                appendBigEndian(rows, quint64(entry.first), offsetWidth);
                appendBigEndian(rows, quint64(entry.second), 2);
            }
            newTrailer.replaceKey("/Type", QPDFObjectHandle::newName("/XRef"));
            newTrailer.replaceKey("/Size", QPDFObjectHandle::newInteger(streamNumber + 1));
            newTrailer.replaceKey("/Index", index);
            newTrailer.replaceKey(
                "/W", QPDFObjectHandle::parse("[1 " + std::to_string(offsetWidth) + " 2]"));
            newTrailer.replaceKey("/Length", QPDFObjectHandle::newInteger(rows.size()));
            update.append(QByteArray::number(streamNumber));
            update.append(" 0 obj\n");
            update.append(QByteArray::fromStdString(newTrailer.unparse()));
            update.append("\nstream\n");
            update.append(rows);
            update.append("\nendstream\nendobj\n");
        }
        update.append("\nstartxref\n");
        update.append(QByteArray::number(sectionOffset));
        update.append("\n%%EOF\n");
        return update;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

bool writeChanges(const QByteArray &original, QPDF &pdf,
                  const std::vector<QPDFObjectHandle> &changed, const QString &target,
                  bool *appended, UpdateCheck check) {
    if (appended)
        *appended = false;
    std::optional<QByteArray> update = incrementalUpdate(original, pdf, changed);
    if (update && !update->isEmpty() && check == UpdateCheck::ReadBack) {
        // What readers will see is checked before it replaces the file: should our update
        // not read back as meant, the file is rewritten instead.
        try {
            const QByteArray updated = original + *update;
            if (!readsBack(updated, changed))
                update.reset();
        } catch (const std::exception &) {
            update.reset();
        }
    }
    if (update) {
        const bool written = writeAtomically(target, [&](const QString &temporary) {
            QFile out(temporary);
            if (!out.open(QIODevice::WriteOnly))
                return false;
            bool complete = out.write(original) == original.size();
            if (complete)
                complete = out.write(*update) == update->size();
            out.close();
            return complete && out.error() == QFileDevice::NoError;
        });
        if (!written)
            logPdfProblem(target + QStringLiteral(": the file could not be written"));
        else if (appended)
            *appended = true;
        return written;
    }
    return writePdf(pdf, target, PdfWriteMode::SameDocument);
}

} // namespace ventara::engine

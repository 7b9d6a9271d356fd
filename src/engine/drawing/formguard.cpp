// A look at a document's form before poppler reads it. poppler builds every form field as a
// node of its own, following /Kids without noticing children shared among fields: a few
// kilobytes of fields sharing their children over some forty levels stand for 2^40 fields, which
// poppler then tries to build while its memory grows without end. The walk here counts the
// fields as poppler would unfold them, visiting each object once.

#include "engine/drawing/renderbackends.h"

#include <QFile>

#include <Catalog.h>
#include <Object.h>
#include <PDFDoc.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace ventara::engine::detail {

namespace {

class FieldCount {
public:
    explicit FieldCount(XRef *xref)
        : m_xref(xref) {}

    // Fields unfolded from the array `kids` (at most maxFormFields + 1), or -1 when they nest
    // deeper than maxFormDepth.
    qint64 kids(const Object &array, int depth) {
        if (!array.isArray())
            return 0;
        if (depth > maxFormDepth)
            return -1;
        qint64 total = 0;
        for (int i = 0; i < array.arrayGetLength() && total <= maxFormFields; ++i) {
            const Object &reference = array.arrayGetNF(i);
            if (!reference.isRef())
                continue;
            const int number = reference.getRefNum();
            // A field that is its own ancestor is left out by poppler too.
            if (m_path.count(number))
                continue;
            qint64 count = 0;
            if (const auto known = m_counts.find(number); known != m_counts.end()) {
                count = known->second;
            } else {
                const Object field = reference.fetch(m_xref);
                if (!field.isDict())
                    continue;
                m_path.insert(number);
                const qint64 inner = kids(field.dictLookup("Kids"), depth + 1);
                m_path.erase(number);
                if (inner < 0)
                    return -1;
                count = 1 + inner;
                m_counts.emplace(number, count);
            }
            total += count;
        }
        return std::min(total, maxFormFields + 1);
    }

private:
    XRef *m_xref;
    std::unordered_map<int, qint64> m_counts;
    std::unordered_set<int> m_path;
};

} // namespace

QString formProblem(PDFDoc &document) {
    Catalog *catalog = document.getCatalog();
    Object *form = catalog ? catalog->getAcroForm() : nullptr;
    if (!form || !form->isDict())
        return {};
    const qint64 fields = FieldCount(document.getXRef()).kids(form->dictLookup("Fields"), 0);
    if (fields < 0)
        return QStringLiteral("its form fields nest more than %1 levels deep").arg(maxFormDepth);
    if (fields > maxFormFields)
        return QStringLiteral("its form fields make more than %1 fields (a damaged or hostile "
                              "form)")
            .arg(maxFormFields);
    return {};
}

QString formProblem(const QString &path) {
    try {
        PDFDoc document(std::make_unique<GooString>(QFile::encodeName(path).toStdString()));
        return document.isOk() ? formProblem(document) : QString();
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace ventara::engine::detail

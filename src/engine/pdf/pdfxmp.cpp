#include "engine/pdf/pdfxmp.h"

#include "engine/pdf/documentproperties.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace ventara::engine {

namespace {

const QString rdfNs = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");
const QString dcNs = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString pdfNs = QStringLiteral("http://ns.adobe.com/pdf/1.3/");
const QString xmlNs = QStringLiteral("http://www.w3.org/XML/1998/namespace");

// The properties this file manages, in the order they are added to a packet.
enum Property { Title, Creator, Description, Subject, Keywords, PropertyCount };

int propertyOf(QStringView namespaceUri, QStringView name) {
    if (namespaceUri == dcNs) {
        if (name == u"title")
            return Title;
        if (name == u"creator")
            return Creator;
        if (name == u"description")
            return Description;
        if (name == u"subject")
            return Subject;
    } else if (namespaceUri == pdfNs && name == u"Keywords") {
        return Keywords;
    }
    return -1;
}

bool isRdf(QStringView namespaceUri, QStringView name, QStringView rdfName) {
    return namespaceUri == rdfNs && name == rdfName;
}

// The items of a property element: the rdf:li texts of its container, or its own text.
struct PropertyValue {
    QStringList items;
    QString defaultItem; // the x-default alternative, if any
    bool hasDefault = false;
};

// Reads the current property element (the reader stands on its start) up to its end.
PropertyValue readPropertyValue(QXmlStreamReader &reader) {
    PropertyValue value;
    QString ownText;
    int depth = 1;
    while (depth > 0 && !reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++depth;
            if (isRdf(reader.namespaceUri(), reader.name(), u"li")) {
                const bool isDefault =
                    reader.attributes().value(xmlNs, QStringLiteral("lang")) == u"x-default";
                const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
                value.items += text;
                if (isDefault && !value.hasDefault) {
                    value.defaultItem = text;
                    value.hasDefault = true;
                }
            }
        } else if (reader.isEndElement()) {
            --depth;
        } else if (reader.isCharacters() && depth == 1) {
            ownText += reader.text();
        }
    }
    if (value.items.isEmpty() && !ownText.trimmed().isEmpty())
        value.items += ownText.trimmed();
    return value;
}

QString alternative(const PropertyValue &value) {
    return value.hasDefault ? value.defaultItem : value.items.value(0);
}

// Namespace bindings in scope while a packet is rewritten.
class NamespaceScope {
public:
    void push(const QXmlStreamNamespaceDeclarations &declarations) {
        QHash<QString, QString> level;
        for (const auto &declaration : declarations)
            level.insert(declaration.prefix().toString(), declaration.namespaceUri().toString());
        m_levels.append(level);
    }
    void pop() {
        if (!m_levels.isEmpty())
            m_levels.removeLast();
    }
    // The prefix bound to `uri` in scope, or an empty optional.
    std::optional<QString> prefixOf(const QString &uri) const {
        QSet<QString> shadowed;
        for (auto level = m_levels.crbegin(); level != m_levels.crend(); ++level) {
            for (auto it = level->cbegin(); it != level->cend(); ++it) {
                if (it.value() == uri && !shadowed.contains(it.key()) && !it.key().isEmpty())
                    return it.key();
            }
            for (auto it = level->cbegin(); it != level->cend(); ++it)
                shadowed.insert(it.key());
        }
        return std::nullopt;
    }

private:
    QList<QHash<QString, QString>> m_levels;
};

class XmpRewriter {
public:
    XmpRewriter(const QString &title, const QString &author, const QString &subject,
                const QStringList &keywords)
        : m_title(title)
        , m_author(author)
        , m_subject(subject)
        , m_keywords(keywords) {}

    QByteArray rewrite(const QByteArray &packet, const bool present[PropertyCount]);

private:
    bool isEmptyValue(int property) const {
        switch (property) {
        case Title:
            return m_title.isEmpty();
        case Creator:
            return m_author.isEmpty();
        case Description:
            return m_subject.isEmpty();
        default:
            return m_keywords.isEmpty();
        }
    }

    // Starts an element in `uri` named `name`, declaring a prefix when none is in scope.
    void startElement(const QString &uri, const QString &name, const QString &preferredPrefix) {
        const std::optional<QString> bound = m_scope.prefixOf(uri);
        const QString prefix = bound.value_or(preferredPrefix);
        m_writer.writeStartElement(prefix + QLatin1Char(':') + name);
        QXmlStreamNamespaceDeclarations declarations;
        if (!bound) {
            m_writer.writeNamespace(uri, prefix);
            declarations.append(QXmlStreamNamespaceDeclaration(prefix, uri));
        }
        m_scope.push(declarations);
    }
    void endElement() {
        m_writer.writeEndElement();
        m_scope.pop();
    }
    void writeItems(const QString &container, const QStringList &items, bool language) {
        startElement(rdfNs, container, QStringLiteral("rdf"));
        for (const QString &item : items) {
            startElement(rdfNs, QStringLiteral("li"), QStringLiteral("rdf"));
            if (language)
                m_writer.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("x-default"));
            m_writer.writeCharacters(item);
            endElement();
        }
        endElement();
    }
    // Writes one managed property with its new value (nothing when the value is empty).
    void writeProperty(int property) {
        if (isEmptyValue(property))
            return;
        switch (property) {
        case Title:
            startElement(dcNs, QStringLiteral("title"), QStringLiteral("dc"));
            writeItems(QStringLiteral("Alt"), {m_title}, true);
            break;
        case Creator:
            startElement(dcNs, QStringLiteral("creator"), QStringLiteral("dc"));
            writeItems(QStringLiteral("Seq"), {m_author}, false);
            break;
        case Description:
            startElement(dcNs, QStringLiteral("description"), QStringLiteral("dc"));
            writeItems(QStringLiteral("Alt"), {m_subject}, true);
            break;
        case Subject:
            startElement(dcNs, QStringLiteral("subject"), QStringLiteral("dc"));
            writeItems(QStringLiteral("Bag"), m_keywords, false);
            break;
        default:
            startElement(pdfNs, QStringLiteral("Keywords"), QStringLiteral("pdf"));
            m_writer.writeCharacters(keywordsToText(m_keywords));
            break;
        }
        endElement();
    }

    QString m_title, m_author, m_subject;
    QStringList m_keywords;
    QByteArray m_output;
    QXmlStreamWriter m_writer{&m_output};
    NamespaceScope m_scope;
};

QByteArray XmpRewriter::rewrite(const QByteArray &packet, const bool present[PropertyCount]) {
    QXmlStreamReader reader(packet);
    // The path of open elements: namespace and local name of each.
    QList<std::pair<QString, QString>> path;
    bool added = false;
    bool sawRdf = false;

    auto addMissing = [&] {
        for (int property = 0; property < PropertyCount; ++property) {
            if (!present[property])
                writeProperty(property);
        }
        added = true;
    };

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            // Reported for every document; only an XML declaration has a version.
            if (reader.documentVersion().isEmpty())
                break;
            if (reader.isStandaloneDocument())
                m_writer.writeStartDocument(reader.documentVersion().toString(), true);
            else
                m_writer.writeStartDocument(reader.documentVersion().toString());
            break;
        case QXmlStreamReader::StartElement: {
            const QString uri = reader.namespaceUri().toString();
            const QString name = reader.name().toString();
            const bool inDescription =
                !path.isEmpty() && isRdf(path.last().first, path.last().second, u"Description");
            const int property = inDescription ? propertyOf(uri, name) : -1;
            if (property >= 0) {
                // Replace the whole property element.
                reader.skipCurrentElement();
                writeProperty(property);
                break;
            }
            m_writer.writeStartElement(reader.qualifiedName().toString());
            const auto declarations = reader.namespaceDeclarations();
            for (const auto &declaration : declarations) {
                if (declaration.prefix().isEmpty())
                    m_writer.writeDefaultNamespace(declaration.namespaceUri().toString());
                else
                    m_writer.writeNamespace(declaration.namespaceUri().toString(),
                                            declaration.prefix().toString());
            }
            m_scope.push(declarations);
            const bool isDescription = isRdf(uri, name, u"Description");
            const auto attributes = reader.attributes();
            for (const auto &attribute : attributes) {
                if (isDescription &&
                    propertyOf(attribute.namespaceUri(), attribute.name()) == Keywords) {
                    if (!m_keywords.isEmpty())
                        m_writer.writeAttribute(attribute.qualifiedName().toString(),
                                                keywordsToText(m_keywords));
                    continue;
                }
                m_writer.writeAttribute(attribute.qualifiedName().toString(),
                                        attribute.value().toString());
            }
            path.append({uri, name});
            if (isRdf(uri, name, u"RDF"))
                sawRdf = true;
            break;
        }
        case QXmlStreamReader::EndElement: {
            const auto [uri, name] = path.isEmpty() ? std::pair<QString, QString>() : path.last();
            if (!added && isRdf(uri, name, u"Description"))
                addMissing();
            if (!added && isRdf(uri, name, u"RDF")) {
                startElement(rdfNs, QStringLiteral("Description"), QStringLiteral("rdf"));
                m_writer.writeAttribute(m_scope.prefixOf(rdfNs).value_or(QStringLiteral("rdf")) +
                                            QStringLiteral(":about"),
                                        QString());
                addMissing();
                endElement();
            }
            if (!path.isEmpty())
                path.removeLast();
            endElement();
            break;
        }
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                m_writer.writeCDATA(reader.text().toString());
            else
                m_writer.writeCharacters(reader.text().toString());
            break;
        case QXmlStreamReader::Comment:
            m_writer.writeComment(reader.text().toString());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            m_writer.writeProcessingInstruction(reader.processingInstructionTarget().toString(),
                                                reader.processingInstructionData().toString());
            break;
        case QXmlStreamReader::DTD:
            m_writer.writeDTD(reader.text().toString());
            break;
        case QXmlStreamReader::EntityReference:
            m_writer.writeEntityReference(reader.name().toString());
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !sawRdf || !added)
        return {};
    return m_output;
}

// Some producers put a control character (such as NUL) in the xpacket header's begin
// attribute instead of the byte order mark; the XML reader refuses the whole packet then.
// Returns the packet with such a header mended.
QByteArray mendedHeader(const QByteArray &packet) {
    const QByteArray begin = "<?xpacket begin=";
    const qsizetype at = packet.indexOf(begin);
    if (at < 0 || at > 16 || at + begin.size() >= packet.size())
        return packet;
    const char quote = packet.at(at + begin.size());
    const qsizetype valueStart = at + begin.size() + 1;
    const qsizetype valueEnd = packet.indexOf(quote, valueStart);
    if ((quote != '"' && quote != '\'') || valueEnd < 0 || valueEnd - valueStart > 3)
        return packet;
    for (qsizetype i = valueStart; i < valueEnd; ++i) {
        if (static_cast<uchar>(packet.at(i)) < 0x20) {
            QByteArray mended = packet;
            mended.replace(valueStart, valueEnd - valueStart, "\xEF\xBB\xBF");
            return mended;
        }
    }
    return packet;
}

// The XML reader drops whitespace outside the root element: put back the line break after
// the xpacket header and the padding before the xpacket trailer (which lets other tools
// edit the packet in place).
QByteArray keepPacketWhitespace(const QByteArray &original, QByteArray rewritten) {
    if (rewritten.isEmpty())
        return rewritten;
    auto whitespaceAt = [](const QByteArray &text, qsizetype from, int step) {
        qsizetype end = from;
        while (end >= 0 && end < text.size() && QChar::isSpace(uchar(text.at(end))))
            end += step;
        return end;
    };
    const QByteArray end = "<?xpacket end";
    const qsizetype originalEnd = original.lastIndexOf(end);
    const qsizetype rewrittenEnd = rewritten.lastIndexOf(end);
    if (originalEnd > 0 && rewrittenEnd > 0) {
        const qsizetype paddingStart = whitespaceAt(original, originalEnd - 1, -1) + 1;
        const qsizetype oldStart = whitespaceAt(rewritten, rewrittenEnd - 1, -1) + 1;
        rewritten.replace(oldStart, rewrittenEnd - oldStart,
                          original.mid(paddingStart, originalEnd - paddingStart));
    }
    const QByteArray begin = "<?xpacket begin";
    const qsizetype originalBegin = original.indexOf(begin);
    const qsizetype rewrittenBegin = rewritten.indexOf(begin);
    if (originalBegin >= 0 && rewrittenBegin >= 0) {
        const qsizetype originalClose = original.indexOf("?>", originalBegin) + 2;
        const qsizetype rewrittenClose = rewritten.indexOf("?>", rewrittenBegin) + 2;
        if (originalClose >= 2 && rewrittenClose >= 2 &&
            whitespaceAt(rewritten, rewrittenClose, 1) == rewrittenClose) {
            const qsizetype lineEnd = whitespaceAt(original, originalClose, 1);
            rewritten.insert(rewrittenClose, original.mid(originalClose, lineEnd - originalClose));
        }
    }
    return rewritten;
}

} // namespace

XmpProperties readXmpProperties(const QByteArray &originalPacket) {
    const QByteArray packet = mendedHeader(originalPacket);
    XmpProperties result;
    std::optional<QStringList> subjectBag;
    QXmlStreamReader reader(packet);
    QList<std::pair<QString, QString>> path;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QString uri = reader.namespaceUri().toString();
            const QString name = reader.name().toString();
            const bool inDescription =
                !path.isEmpty() && isRdf(path.last().first, path.last().second, u"Description");
            const int property = inDescription ? propertyOf(uri, name) : -1;
            if (property < 0) {
                if (isRdf(uri, name, u"Description")) {
                    const QStringView keywords =
                        reader.attributes().value(pdfNs, QStringLiteral("Keywords"));
                    if (!keywords.isNull() && !result.keywords)
                        result.keywords = keywordsFromText(keywords.toString());
                }
                path.append({uri, name});
                continue;
            }
            const PropertyValue value = readPropertyValue(reader);
            switch (property) {
            case Title:
                if (!result.title)
                    result.title = alternative(value);
                break;
            case Creator:
                if (!result.author)
                    result.author = value.items.join(QStringLiteral(", "));
                break;
            case Description:
                if (!result.subject)
                    result.subject = alternative(value);
                break;
            case Subject:
                if (!subjectBag)
                    subjectBag = value.items;
                break;
            default:
                if (!result.keywords)
                    result.keywords = keywordsFromText(value.items.join(QLatin1Char(',')));
                break;
            }
        } else if (reader.isEndElement() && !path.isEmpty()) {
            path.removeLast();
        }
    }
    if (reader.hasError())
        return {};
    if (!result.keywords && subjectBag)
        result.keywords = *subjectBag;
    return result;
}

QByteArray updateXmpProperties(const QByteArray &originalPacket, const QString &title,
                               const QString &author, const QString &subject,
                               const QStringList &keywords) {
    const QByteArray packet = mendedHeader(originalPacket);
    // Which properties the packet states anywhere, so that only missing ones are added.
    bool present[PropertyCount] = {};
    {
        QXmlStreamReader reader(packet);
        QList<std::pair<QString, QString>> path;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                const QString uri = reader.namespaceUri().toString();
                const QString name = reader.name().toString();
                if (!path.isEmpty() &&
                    isRdf(path.last().first, path.last().second, u"Description")) {
                    const int property = propertyOf(uri, name);
                    if (property >= 0)
                        present[property] = true;
                }
                if (isRdf(uri, name, u"Description") &&
                    !reader.attributes().value(pdfNs, QStringLiteral("Keywords")).isNull())
                    present[Keywords] = true;
                path.append({uri, name});
            } else if (reader.isEndElement() && !path.isEmpty()) {
                path.removeLast();
            }
        }
        if (reader.hasError())
            return {};
    }
    XmpRewriter rewriter(title, author, subject, keywords);
    return keepPacketWhitespace(packet, rewriter.rewrite(packet, present));
}

} // namespace ventara::engine

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Reading and updating the document properties in an XMP metadata packet (the XML of a
// PDF's /Metadata stream). Pure functions over the packet text; thread-safe.
namespace ventara::engine {

// The properties an XMP packet states; absent ones are empty optionals.
struct XmpProperties {
    std::optional<QString> title;        // dc:title (x-default or first alternative)
    std::optional<QString> author;       // dc:creator (the sequence joined with ", ")
    std::optional<QString> subject;      // dc:description (x-default or first alternative)
    std::optional<QStringList> keywords; // pdf:Keywords, else the dc:subject bag
};

// Reads the properties of `packet`. An unparsable packet gives no properties.
XmpProperties readXmpProperties(const QByteArray &packet);

// Returns `packet` with dc:title, dc:creator, dc:description, pdf:Keywords and the
// dc:subject bag set to the given values (an empty value removes the property), wherever
// the packet states them; properties it lacks are added to its first rdf:Description.
// Everything else, the xpacket wrapper included, is kept. Returns an empty array when the
// packet cannot be parsed or has no rdf:RDF element (the caller then leaves it alone).
QByteArray updateXmpProperties(const QByteArray &packet, const QString &title,
                               const QString &author, const QString &subject,
                               const QStringList &keywords);

} // namespace ventara::engine

#include "startrequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ventara::gui {

QByteArray StartRequest::encode() const {
    QJsonObject object;
    object.insert(QStringLiteral("tool"), tool);
    object.insert(QStringLiteral("files"), QJsonArray::fromStringList(files));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<StartRequest> StartRequest::decode(const QByteArray &bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(QStringLiteral("tool")).isString() ||
        !object.value(QStringLiteral("files")).isArray())
        return std::nullopt;
    StartRequest request;
    request.tool = object.value(QStringLiteral("tool")).toString();
    for (const QJsonValue &file : object.value(QStringLiteral("files")).toArray()) {
        if (!file.isString())
            return std::nullopt;
        request.files << file.toString();
    }
    return request;
}

} // namespace ventara::gui

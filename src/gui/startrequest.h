#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace ventara::gui {

// What a start of the window program asks for: the tool to open (its catalogue id; empty for
// the launcher alone) and the files to list in it, as absolute paths in the order given.
// Files are not checked here: the tool's document list applies its usual rules to them.
struct StartRequest {
    QString tool;
    QStringList files;

    // The request as sent over the instance socket (JSON), and back. decode() gives
    // std::nullopt for anything that is not such a request.
    QByteArray encode() const;
    static std::optional<StartRequest> decode(const QByteArray &bytes);

    friend bool operator==(const StartRequest &, const StartRequest &) = default;
};

} // namespace ventara::gui

#include "rateprompt.h"

#include <QCoreApplication>

namespace ventara::toolkit {

RatePrompt::RatePrompt(const QUrl &reviewPage)
    : m_reviewPage(reviewPage) {}

QString RatePrompt::key() {
    return QStringLiteral("ShowRateMessage");
}

QString RatePrompt::questionText() {
    return QStringLiteral("If you enjoy using Ventara, would you mind taking a moment to rate it? "
                          "Thanks for your support!");
}

QStringList RatePrompt::buttonTexts() {
    return {QStringLiteral("Yes, Rate Ventara"), QStringLiteral("Remind me later"),
            QStringLiteral("No, Thanks")};
}

QUrl RatePrompt::defaultReviewPage() {
    // The help pages ship with the application, so the page also opens offline.
    return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                               QStringLiteral("/../share/ventara/help/rate.html"));
}

bool RatePrompt::afterSuccessfulRun(const UserInterface &ui) {
    const std::optional<QString> show = ui.defaults->value(key());
    if (!show) {
        ui.defaults->setValue(key(), QStringLiteral("Yes"));
        return false;
    }
    if (*show != u"Yes" || m_shown)
        return false;

    switch (ui.prompts->question(questionText(), buttonTexts())) {
    case 0:
        ui.desktop->openUrl(m_reviewPage);
        ui.defaults->setValue(key(), QStringLiteral("No"));
        break;
    case 2:
        ui.defaults->setValue(key(), QStringLiteral("No"));
        break;
    default: // "Remind me later", or dismissed: ask again in another window
        break;
    }
    m_shown = true;
    return true;
}

} // namespace ventara::toolkit

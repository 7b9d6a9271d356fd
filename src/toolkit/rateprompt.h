#pragma once

#include "toolkit/userinterface.h"

#include <QUrl>

namespace ventara::toolkit {

// The prompt that asks the user to rate the application after a successful run, one object
// per tool window. The user default "ShowRateMessage", shared by all windows, is absent until
// the first successful run, then "Yes" while the prompt may be shown and "No" once the user
// rated or declined. The prompt is shown at most once per window.
class RatePrompt {
public:
    explicit RatePrompt(const QUrl &reviewPage = defaultReviewPage());

    // Decides about the prompt after the success alert of a run has been dismissed:
    // - "ShowRateMessage" absent: stores "Yes" and shows nothing (the first success never asks);
    // - "Yes" and not yet answered in this window: asks questionText() with buttonTexts():
    //   "Yes, Rate Ventara" opens the review page and stores "No"; "Remind me later" only
    //   marks this window; "No, Thanks" stores "No";
    // - otherwise nothing.
    // Returns true when the prompt was shown.
    bool afterSuccessfulRun(const UserInterface &ui);

    // True once the prompt has been answered in this window.
    bool shownInThisWindow() const { return m_shown; }

    QUrl reviewPage() const { return m_reviewPage; }
    void setReviewPage(const QUrl &page) { m_reviewPage = page; }

    static QString key();
    static QString questionText();
    static QStringList buttonTexts();

    // The page that tells the user how to rate the application: the help page "rate.html"
    // shipped with the application (share/ventara/help beside the executable's bin folder).
    static QUrl defaultReviewPage();

private:
    QUrl m_reviewPage;
    bool m_shown = false;
};

} // namespace ventara::toolkit

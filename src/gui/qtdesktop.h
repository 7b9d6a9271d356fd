#pragma once

#include "toolkit/userinterface.h"

namespace ventara::gui {

// Opens URLs and local files in the user's default applications with QDesktopServices.
class QtDesktop : public toolkit::Desktop {
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace ventara::gui

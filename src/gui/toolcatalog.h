#pragma once

#include "toolkit/userinterface.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace ventara::gui {

class ToolWindow;

// One tool of the application, as the launcher and the Help menus show it. Adding a tool
// to the application is adding one entry to toolCatalog().
struct ToolEntry {
    QString id;          // "split"
    QString buttonText;  // launcher button, with its mnemonic: "&Split"
    QString description; // one line under the launcher button
    QString iconName;    // icon theme name of the launcher button
    QString buttonName;  // object name of the launcher button: "buttonOpenSplit"
    QString helpPage;    // local help page: "split.html"
    QString howToText;   // Help menu item: "How to Split PDF Documents"
    QString howToAction; // object name of that item: "OnHowToSplitPDFDocuments"
    // A new window of the tool with a fresh document list and default settings.
    std::function<ToolWindow *(const toolkit::UserInterface &ui, QWidget *parent)> create;
};

// The tools, in the launcher's order.
const QList<ToolEntry> &toolCatalog();

// The entry of `id`, or nullptr.
const ToolEntry *findTool(const QString &id);

} // namespace ventara::gui

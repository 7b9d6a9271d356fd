#pragma once

// The interfaces through which the tools' logic reaches the user: prompts, file panels, the
// user defaults and the desktop. The logic never opens a dialog itself. The GUI answers these
// interfaces with Qt dialogs, the command line from its flags, and tests from a script
// (tests/support/scriptedui.h).
//
// Unless an implementation says otherwise, every call is made on the thread that owns the
// calling object (the GUI thread in the application) and returns only once it is answered.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace ventara::toolkit {

// Alerts and questions. Every prompt is a warning-style alert with an empty message text whose
// words are the informative text.
class Prompts {
public:
    virtual ~Prompts() = default;

    // Shows `text` with one button "OK" and returns when the user has dismissed it.
    virtual void alert(const QString &text) = 0;

    // Asks `text` with `buttons`, shown in the given order (the first one is the default
    // button). Returns the 0-based index of the button pressed, or -1 when the prompt was
    // dismissed without a button (callers then take the most cautious answer).
    virtual int question(const QString &text, const QStringList &buttons) = 0;

    struct SuppressibleAnswer {
        int button = -1;       // as question()
        bool suppress = false; // the check box "Do not show this message again" was ticked
    };

    // question() with a suppression check box labelled "Do not show this message again",
    // unticked when shown. The box's state is reported whatever button was pressed.
    virtual SuppressibleAnswer questionWithSuppression(const QString &text,
                                                       const QStringList &buttons) = 0;
};

// File and folder panels. Paths are absolute; folders are given without a trailing slash.
// An empty start folder lets the panel open in the platform's default folder.
class FilePanels {
public:
    virtual ~FilePanels() = default;

    struct OpenFilesRequest {
        QString startFolder;
        QStringList extensions;    // allowed extensions without the dot, e.g. {"pdf"}; any case
        bool multiple = true;      // more than one file may be chosen
        QString title = {};        // what the panel is for: "Add PDF Documents"
        QString fileTypeName = {}; // what the files are called: "PDF documents"
    };

    // Lets the user choose existing files. std::nullopt when the panel was cancelled;
    // otherwise the chosen paths in the panel's order, which may be an empty list.
    virtual std::optional<QStringList> openFiles(const OpenFilesRequest &request) = 0;

    struct SaveFileRequest {
        QString startFolder;
        QString proposedName;      // e.g. "profile.vxs"
        QString extension;         // without the dot; the file name shows it
        QString title = {};        // what the panel is for: "Save Split Profile"
        QString fileTypeName = {}; // what the files are called: "Split profiles"
    };

    // Lets the user choose a file to write. The panel itself asks before an existing file is
    // chosen, so the caller does not ask again. std::nullopt when cancelled.
    virtual std::optional<QString> saveFile(const SaveFileRequest &request) = 0;

    struct ChooseFolderRequest {
        QString startFolder;
        QString prompt = QStringLiteral("Select Folder"); // text of the confirming button
        bool canCreateFolders = false;
        QString title = QStringLiteral("Choose the Output Folder"); // what the panel is for
    };

    // Lets the user choose one existing folder. std::nullopt when cancelled.
    virtual std::optional<QString> chooseFolder(const ChooseFolderRequest &request) = 0;
};

// The user defaults: string values by key, persistent across application runs and shared by
// every window. Keys are used exactly as given ("AddPDFSplitPath", "ShowRateMessage", ...).
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // The value stored under `key`, or std::nullopt when the key is absent. An empty string is
    // a present value.
    virtual std::optional<QString> value(const QString &key) const = 0;

    // Stores `value` under `key` and makes it persistent before returning.
    virtual void setValue(const QString &key, const QString &value) = 0;

    // value() with absence read as the empty string.
    QString stringValue(const QString &key) const { return value(key).value_or(QString()); }

    // Stores the empty string under each key of `keys` that is absent; present keys keep
    // their values.
    void createMissingKeys(const QStringList &keys);
};

// The desktop: opening things in the user's default applications.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Opens `url` (a web address, or a file URL made with QUrl::fromLocalFile) in its default
    // application. Returns false when nothing could be opened; callers show nothing then.
    virtual bool openUrl(const QUrl &url) = 0;
};

// What the logic is handed: one object of each kind. The pointers are not owned; whoever
// builds the aggregate keeps them alive for as long as any logic holds a copy.
struct UserInterface {
    Prompts *prompts = nullptr;
    FilePanels *panels = nullptr;
    UserDefaults *defaults = nullptr;
    Desktop *desktop = nullptr;
};

// The button texts of a yes-or-no question, in their order.
QStringList yesNoButtons();

// Asks `text` with the buttons "Yes" and "No"; true when "Yes" was pressed. A prompt dismissed
// without a button counts as "No".
bool askYesNo(Prompts &prompts, const QString &text);

// A chosen file's folder, as stored under the remembered-folder keys.
QString folderOfFile(const QString &filePath);

// The output-folder panel shared by the tools that write into a folder: opens the folder
// panel in the folder remembered under `key` (when not empty), and on confirmation stores the
// chosen folder under `key` and returns it. std::nullopt when cancelled (nothing stored).
std::optional<QString> chooseRememberedFolder(const UserInterface &ui, const QString &key,
                                              bool canCreateFolders);

} // namespace ventara::toolkit

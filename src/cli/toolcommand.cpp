#include "cli/toolcommand.h"

#include "engine/pdf/pdffile.h"
#include "engine/pdf/pdftools.h"
#include "toolkit/batchrunner.h"
#include "toolkit/documentlist.h"
#include "toolkit/executor.h"
#include "toolkit/profilecodec.h"
#include "toolkit/textnumber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>

#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace ventara::cli {

namespace {

const QString profileOption = QStringLiteral("profile");
const QString overwriteOption = QStringLiteral("overwrite");

const ToolOption *findOption(const ToolCommandSpec &spec, QStringView name, bool isShort) {
    for (const ToolOption &option : spec.options) {
        if (isShort ? (!option.shortName.isNull() && name.size() == 1 &&
                       name.front() == option.shortName)
                    : option.name == name)
            return &option;
    }
    return nullptr;
}

const toolkit::FieldSpec *findField(const ToolCommandSpec &spec, const QString &key) {
    if (!spec.profile || key.isEmpty())
        return nullptr;
    const int index = spec.profile->indexOf(key);
    return index < 0 ? nullptr : &spec.profile->fields.at(index);
}

QString kindName(toolkit::FieldKind kind) {
    switch (kind) {
    case toolkit::FieldKind::State:
        return QStringLiteral("0 or 1");
    case toolkit::FieldKind::Index:
        return QStringLiteral("index");
    case toolkit::FieldKind::Float:
    case toolkit::FieldKind::Double:
        return QStringLiteral("number");
    case toolkit::FieldKind::Text:
        return QStringLiteral("text");
    }
    return {};
}

// "  --every N                 Consecutive chunks ..." with the text wrapped at 100 columns
// and long option texts on a line of their own.
void writeHelpLine(QTextStream &out, const QString &left, const QString &text) {
    constexpr int column = 28;
    constexpr int width = 100;
    out << "  " << left;
    if (left.size() + 2 < column - 1)
        out << QString(column - 2 - left.size(), u' ');
    else
        out << '\n' << QString(column, u' ');
    int used = column;
    bool first = true;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!first && used + 1 + word.size() > width) {
            out << '\n' << QString(column, u' ');
            used = column;
            first = true;
        }
        if (!first) {
            out << ' ';
            ++used;
        }
        out << word;
        used += int(word.size());
        first = false;
    }
    out << '\n';
}

// Reports the outputs the overwrite pass declined, once each, by wrapping the tool's job.
// When some given files were refused before the run, the run fails (its first step does),
// so that its result is not told as a success: a merged file would lack them.
class SkipRecordingJob : public toolkit::BatchJob {
public:
    SkipRecordingJob(std::shared_ptr<toolkit::BatchJob> job, QStringList *skipped,
                     bool inputsRefused)
        : m_job(std::move(job))
        , m_skipped(skipped)
        , m_inputsRefused(inputsRefused) {}

    toolkit::RunPlan plan() override {
        m_job->setPlanProgress(planProgress());
        return m_job->plan();
    }

    bool processStep(toolkit::StepContext &context) override {
        const bool ok = m_job->processStep(context) && !(m_inputsRefused && context.step() == 0);
        for (int k = 0; k < context.outputs().size(); ++k) {
            if (!context.shouldWrite(k) && !m_skipped->contains(context.outputs().at(k)))
                m_skipped->append(context.outputs().at(k));
        }
        return ok;
    }

    void finished(const toolkit::RunSummary &summary) override { m_job->finished(summary); }

private:
    std::shared_ptr<toolkit::BatchJob> m_job;
    QStringList *m_skipped;
    bool m_inputsRefused;
};

class SkipRecordingTool : public toolkit::BatchTool {
public:
    explicit SkipRecordingTool(toolkit::BatchTool &tool)
        : m_tool(tool) {}

    toolkit::RunTexts runTexts() const override { return m_tool.runTexts(); }
    std::optional<QString> outputFolder() const override { return m_tool.outputFolder(); }
    bool checkSettings(const toolkit::UserInterface &ui) override {
        return m_tool.checkSettings(ui);
    }
    std::shared_ptr<toolkit::BatchJob> createJob(const QStringList &documents) override {
        std::shared_ptr<toolkit::BatchJob> job = m_tool.createJob(documents);
        return job ? std::make_shared<SkipRecordingJob>(job, &skipped, inputsRefused) : job;
    }

    QStringList skipped;
    bool inputsRefused = false;

private:
    toolkit::BatchTool &m_tool;
};

// The reason a file cannot be processed, or an empty text when it can. Thread-safe. Quiet:
// qpdf's warnings about a damaged file are shown once, when the run opens it.
QString inputProblem(const QString &path) {
    using engine::PDFTools;
    const engine::QuietPdfWarnings quiet;
    QString reason;
    const PDFTools::PdfStatus status = PDFTools::CheckPdf(path, &reason);
    return status == PDFTools::PdfStatus::Readable ? QString()
                                                   : PDFTools::ProblemText(status, reason);
}

} // namespace

std::optional<ToolArguments> ToolArguments::parse(const ToolCommandSpec &spec,
                                                  const QStringList &arguments, QString *problem) {
    ToolArguments result;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!options || argument.size() < 2 || !argument.startsWith(u'-')) {
            result.files << argument;
            continue;
        }
        if (argument == u"--") {
            options = false;
            continue;
        }
        if (argument == u"-h" || argument == u"--help") {
            result.helpRequested = true;
            continue;
        }
        const bool isLong = argument.startsWith(u"--");
        QString name = argument.mid(isLong ? 2 : 1);
        std::optional<QString> value;
        if (isLong) {
            if (const qsizetype equals = name.indexOf(u'='); equals >= 0) {
                value = name.mid(equals + 1);
                name.truncate(equals);
            }
        } else if (name.size() > 1) { // "-oFOLDER"
            value = name.mid(1);
            name.truncate(1);
        }

        QString key;
        bool isSwitch = false;
        if (isLong && (name == profileOption ? spec.profile != nullptr : name == overwriteOption)) {
            key = name;
        } else if (const ToolOption *option = findOption(spec, name, !isLong)) {
            key = option->name;
            isSwitch = option->isSwitch;
        } else {
            *problem = QStringLiteral("unknown option ") + argument;
            return std::nullopt;
        }
        if (isSwitch) {
            if (!value)
                value = QStringLiteral("yes");
            if (*value != u"yes" && *value != u"no") {
                *problem =
                    QStringLiteral("--") + key + QStringLiteral(" takes yes or no, not ") + *value;
                return std::nullopt;
            }
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                *problem =
                    QStringLiteral("the option ") + argument + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            value = arguments.at(++i);
        }

        if (key == profileOption) {
            result.profilePath = *value;
        } else if (key == overwriteOption) {
            if (*value == u"yes") {
                result.overwrite = OverwritePolicy::Yes;
            } else if (*value == u"no") {
                result.overwrite = OverwritePolicy::No;
            } else if (*value == u"ask") {
                result.overwrite = OverwritePolicy::Ask;
            } else {
                *problem = QStringLiteral("--overwrite takes yes, no or ask, not ") + *value;
                return std::nullopt;
            }
        } else {
            result.m_values.insert(key, *value);
        }
    }
    return result;
}

OverwritePolicy ToolArguments::overwritePolicy() const {
    if (overwrite)
        return *overwrite;
    return isatty(STDIN_FILENO) && isatty(STDERR_FILENO) ? OverwritePolicy::Ask
                                                         : OverwritePolicy::No;
}

Command toolCommand(const ToolCommandSpec &spec, int (*run)(const QStringList &, CommandIo &)) {
    Command command{spec.name, spec.synopsis, spec.summary, run, [&spec](QTextStream &out) {
                        printToolHelp(spec, out);
                    }};
    command.tool = &spec;
    return command;
}

std::optional<ToolArguments> parseToolCommand(const ToolCommandSpec &spec,
                                              const QStringList &arguments, CommandIo &io,
                                              int *exitCode) {
    QString problem;
    std::optional<ToolArguments> args = ToolArguments::parse(spec, arguments, &problem);
    if (!args) {
        *exitCode = toolUsageError(spec, io, problem);
        return std::nullopt;
    }
    if (args->helpRequested) {
        printToolHelp(spec, io.out);
        *exitCode = ExitSuccess;
        return std::nullopt;
    }
    return args;
}

QString outputFolderArgument(const ToolCommandSpec &spec, const ToolArguments &args, CommandIo &io,
                             int *exitCode) {
    const QString folder = args.value(QStringLiteral("output"));
    if (folder.isEmpty())
        *exitCode = toolUsageError(spec, io, QStringLiteral("no output folder (-o FOLDER)"));
    else if (!QFileInfo(folder).isDir())
        *exitCode = toolUsageError(spec, io, folder + QStringLiteral(": no such folder"));
    else if (args.files.isEmpty())
        *exitCode = toolUsageError(spec, io, QStringLiteral("no PDF files given"));
    else
        return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return QString();
}

QStringList overwriteChoices() {
    return {QStringLiteral("yes"), QStringLiteral("no"), QStringLiteral("ask")};
}

QList<ToolOption> completedOptions(const ToolCommandSpec &spec) {
    QList<ToolOption> options = spec.options;
    if (spec.profile) {
        ToolOption profile{profileOption, QChar(), QStringLiteral("FILE"), QString(), QString()};
        profile.kind = ValueKind::File;
        profile.extensions = {spec.profile->extension};
        options << profile;
    }
    ToolOption overwrite{overwriteOption, QChar(), QStringLiteral("yes|no|ask"), QString(),
                         QString()};
    overwrite.choices = overwriteChoices();
    options << overwrite;
    return options;
}

namespace {

// A field's value as an option takes it: whole numbers without a fraction ("0", not the
// profile's "0.0").
QString optionValueText(const toolkit::FieldValue &value) {
    const double *number = std::get_if<double>(&value);
    const float *single = std::get_if<float>(&value);
    const double whole = number ? *number : single ? double(*single) : 0.5;
    if (whole == std::trunc(whole) && std::abs(whole) < 1e9)
        return QString::number(qint64(whole));
    return toolkit::formatFieldValue(value);
}

} // namespace

QList<HelpEntry> optionEntries(const ToolCommandSpec &spec) {
    QList<HelpEntry> entries;
    for (const ToolOption &option : spec.options) {
        QString term = option.shortName.isNull()
                           ? QString()
                           : QStringLiteral("-") + option.shortName + QStringLiteral(", ");
        term += QStringLiteral("--") + option.name;
        if (!option.isSwitch)
            term += u' ' + option.valueName;
        const toolkit::FieldSpec *field = findField(spec, option.fieldKey);
        QString text = option.help.isEmpty() && field ? field->description : option.help;
        if (field)
            text += QStringLiteral(" (default: ") + optionValueText(field->defaultValue) + u')';
        entries.append({term, text});
    }
    if (spec.profile) {
        entries.append(
            {QStringLiteral("--profile FILE"),
             QStringLiteral("Start from the settings of a profile file (.") +
                 spec.profile->extension +
                 QStringLiteral(") saved in the window; options given here override it")});
    }
    entries.append({QStringLiteral("--overwrite yes|no|ask"),
                    QStringLiteral("What to do with output files that already exist (default: "
                                   "ask on a terminal, no otherwise; kept files are listed)")});
    entries.append({QStringLiteral("-h, --help"), QStringLiteral("Show this help")});
    return entries;
}

QList<HelpEntry> profileFieldEntries(const ToolCommandSpec &spec) {
    QList<HelpEntry> entries;
    if (!spec.profile)
        return entries;
    for (int i = 0; i < spec.profile->fields.size(); ++i) {
        const toolkit::FieldSpec &field = spec.profile->fields.at(i);
        entries.append({QString::number(i + 1) + QStringLiteral(". ") + field.key +
                            QStringLiteral(" (") + kindName(field.kind) +
                            QStringLiteral(", default ") +
                            toolkit::formatFieldValue(field.defaultValue) + u')',
                        toolkit::fieldEncodingText(field)});
    }
    return entries;
}

QString exitStatusText(const ToolCommandSpec &spec) {
    return QStringLiteral("0 when every document succeeded, 1 when any failed, 2 for a usage "
                          "error, invalid settings, settings that select nothing or output "
                          "names that collide") +
           (spec.profile ? QStringLiteral(" or an unreadable profile") : QString()) + u'.';
}

void printToolHelp(const ToolCommandSpec &spec, QTextStream &out) {
    out << "Usage: ventara " << spec.name << ' ' << spec.synopsis << "\n\n"
        << spec.description << "\n\nOptions:\n";
    for (const HelpEntry &entry : optionEntries(spec))
        writeHelpLine(out, entry.term, entry.text);
    if (spec.profile) {
        out << "\nProfile file (." << spec.profile->extension
            << "): one value per line, in this order, as the \"" << spec.profile->baseTitle
            << "\" window saves it:\n";
        for (const HelpEntry &entry : profileFieldEntries(spec))
            writeHelpLine(out, entry.term, entry.text);
    }
    out << "\nExit status: " << exitStatusText(spec) << '\n';
}

std::optional<QString> wholeNumberOption(const QString &option, const QString &value,
                                         double minimum, double maximum, QString *problem) {
    const std::optional<double> number = toolkit::wholeNumberValue(value);
    if (!number || *number < minimum || *number > maximum) {
        *problem = QStringLiteral("--%1 takes a whole number from %2 to %3, not %4")
                       .arg(option, toolkit::wholeNumberText(minimum),
                            toolkit::wholeNumberText(maximum), value);
        return std::nullopt;
    }
    return toolkit::wholeNumberText(*number);
}

int choiceOption(const QString &option, const QString &value, const QStringList &choices,
                 QString *problem, Qt::CaseSensitivity sensitivity) {
    for (qsizetype i = 0; i < choices.size(); ++i) {
        if (choices.at(i).compare(value, sensitivity) == 0)
            return int(i);
    }
    *problem = QStringLiteral("--%1 takes one of %2, not %3")
                   .arg(option, choices.join(QStringLiteral(", ")), value);
    return -1;
}

int toolUsageError(const ToolCommandSpec &spec, CommandIo &io, const QString &problem) {
    reportError(io, spec.name + QStringLiteral(": ") + problem);
    io.err << "Usage: ventara " << spec.name << ' ' << spec.synopsis << '\n'
           << "Run 'ventara " << spec.name << " --help' for more." << Qt::endl;
    return ExitUsage;
}

bool loadProfile(const ToolCommandSpec &spec, const QString &path, toolkit::FieldValues &values,
                 CommandIo &io) {
    QString reason;
    QFile file(path);
    if (!spec.profile) {
        reason = QStringLiteral("this command has no profiles");
    } else if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        reason = file.exists() ? QStringLiteral("cannot be read") : QStringLiteral("no such file");
    } else if (file.size() > toolkit::kMaxProfileSize) {
        reason = QStringLiteral("too large");
    } else {
        const QByteArray bytes = file.readAll();
        if (const auto read = toolkit::decodeProfile(*spec.profile, bytes, values, &reason)) {
            values = *read;
            return true;
        }
    }
    reportError(io, spec.name + QStringLiteral(": ") + path +
                        QStringLiteral(": could not load profile (") + reason + u')');
    return false;
}

int runToolCommand(const ToolCommandSpec &spec, toolkit::BatchTool &tool, const QStringList &files,
                   OverwritePolicy policy, CommandIo &io) {
    // The checks of the document list, once per file and on every core (each opens the
    // whole file); the list then asks these answers. The run takes the documents the checks
    // parsed instead of parsing the files again.
    const engine::PdfParseCache parsed;
    QStringList given;
    QStringList unique;
    QSet<QString> seen;
    for (const QString &file : files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (seen.contains(path)) {
            reportError(io, spec.name + QStringLiteral(": ") + file +
                                QStringLiteral(": given more than once, used once"));
            continue;
        }
        seen.insert(path);
        given << file;
        unique << path;
    }
    // One file is checked on this thread: starting the pool's threads would cost more.
    const QList<QString> problems = unique.size() == 1
                                        ? QList<QString>{inputProblem(unique.first())}
                                        : QtConcurrent::blockingMapped(unique, inputProblem);
    QSet<QString> accepted;
    QStringList documents;
    bool inputsFailed = false;
    for (qsizetype i = 0; i < unique.size(); ++i) {
        if (!problems.at(i).isEmpty()) {
            reportError(io, spec.name + QStringLiteral(": ") + given.at(i) + QStringLiteral(": ") +
                                problems.at(i));
            inputsFailed = true;
            continue;
        }
        accepted.insert(unique.at(i));
        documents << unique.at(i);
    }
    if (documents.isEmpty())
        return ExitFailure;

    // The files were checked above; the list shows nothing of them.
    toolkit::DocumentInspector inspector;
    inspector.describe = [&accepted](const QString &path) {
        toolkit::DocumentInspector::Facts facts;
        facts.acceptable = accepted.contains(path);
        return facts;
    };
    toolkit::DocumentList list(inspector);
    list.append(documents);

    QTextStream in(stdin);
    TerminalUi terminal(spec.name, policy, in, io.out, io.err);
    terminal.setSuccessText(tool.runTexts().success);
    toolkit::BatchRunner runner(terminal.ui());
    runner.setExecutor(toolkit::inlineExecutor());
    runner.setRatePromptEnabled(false);

    if (isatty(STDERR_FILENO)) {
        // One line on the terminal, rewritten: first how far the documents have been read
        // (a long list of large files takes a while before the first file is written), then
        // how far the run has come; cleared when either ends.
        auto shown = std::make_shared<bool>(false);
        const auto show = [&io, shown, name = spec.name](const QString &what, double percent) {
            if (percent <= 0 && what.isEmpty()) {
                if (*shown)
                    io.err << "\r\033[K" << Qt::flush;
                *shown = false;
                return;
            }
            io.err << "\r\033[Kventara " << name << ": " << what << qRound(percent) << '%'
                   << Qt::flush;
            *shown = true;
        };
        QObject::connect(&runner, &toolkit::BatchRunner::progressChanged, &runner,
                         [show](double percent) { show(QString(), percent); });
        QObject::connect(
            &runner, &toolkit::BatchRunner::planProgressChanged, &runner,
            [show](double percent) { show(QStringLiteral("Reading the documents... "), percent); });
        QObject::connect(&runner, &toolkit::BatchRunner::planningChanged, &runner,
                         [show](bool planning) {
                             if (!planning)
                                 show(QString(), 0);
                         });
    }

    SkipRecordingTool recording(tool);
    recording.inputsRefused = inputsFailed;
    // A run that does not start was refused by the tool's checks of its settings (invalid
    // sizes from a profile, say), which told why.
    if (!runner.run(recording, list))
        return ExitUsage;
    // An abandoned run was stopped by its settings (no pages selected, outputs that would
    // collide or leave the folder) before anything was written.
    if (runner.lastSummary().outcome == toolkit::RunSummary::Outcome::Abandoned)
        return ExitUsage;
    for (const QString &path : std::as_const(recording.skipped))
        reportError(io, spec.name + QStringLiteral(": kept existing file ") + path);
    const bool succeeded = runner.lastSummary().succeeded();
    return succeeded && !inputsFailed ? ExitSuccess : ExitFailure;
}

} // namespace ventara::cli

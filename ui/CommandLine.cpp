#include "ui/CommandLine.h"

TEditorCommandLine ParseEditorCommandLine(const QStringList& arguments) {
    TEditorCommandLine result;
    QStringList files;
    bool optionsEnded = false;
    bool help = false, version = false;
    for (const QString& argument : arguments) {
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") files << argument;
        else if (argument == u"--") optionsEnded = true;
        else if (argument == u"--help" || argument == u"-h") help = true;
        else if (argument == u"--version") version = true;
        else if (result.error.isEmpty()) result.error = QStringLiteral("unknown option '%1'").arg(argument);
    }
    if (help) result.action = TEditorCommandLine::Action::Help;
    else if (version) result.action = TEditorCommandLine::Action::Version;
    else if (!result.error.isEmpty()) result.action = TEditorCommandLine::Action::Wrong;
    if (!files.isEmpty()) result.file = files.takeFirst();
    result.ignored = files;
    return result;
}

QString IgnoredFilesText(const TEditorCommandLine& commandLine) {
    if (commandLine.ignored.isEmpty()) return {};
    return QStringLiteral("zintra-editor: opens one file at a time; ignored: %1\n")
        .arg(commandLine.ignored.join(QStringLiteral(", ")));
}

QString EditorHelpText() {
    return QStringLiteral(
        "Usage: zintra-editor [OPTION]... [FILE]\n"
        "Draw, preview and save Zintra animations: loops of 16x16 frames in the\n"
        "16 standard colours, played as a system-tray icon.\n"
        "\n"
        "FILE, a Zintra animation (.zn) or a Windows animated cursor (.ani), is\n"
        "opened as soon as the window is shown, exactly as the Open button would\n"
        "open it. Only one file is opened; further names are ignored.\n"
        "\n"
        "  -h, --help     display this help and exit\n"
        "      --version  output version information and exit\n"
        "\n"
        "Qt's own options, such as -platform NAME, -display DISPLAY or\n"
        "-style NAME, are accepted as well.\n");
}

QString EditorVersionText() { return QStringLiteral("zintra-editor %1\n").arg(QStringLiteral(ZINTRA_VERSION)); }

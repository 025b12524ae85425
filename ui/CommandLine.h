#pragma once
// The editor's command line: at most one file to open, once Qt has taken
// its own options (-platform, -style, …) out of the list.
#include <QString>
#include <QStringList>

struct TEditorCommandLine {
    enum class Action { Run, Help, Version, Wrong };
    Action action = Action::Run;
    QString file;          // opened once the window is shown; empty for none
    QStringList ignored;   // further file names, which are not opened
    QString error;         // what is wrong, for Action::Wrong
};

// arguments without the program's name. --help and --version win wherever
// they stand, so they can be answered before the window system is reached.
TEditorCommandLine ParseEditorCommandLine(const QStringList& arguments);

// What goes to standard error about ignored files; empty when there are none.
QString IgnoredFilesText(const TEditorCommandLine& commandLine);

QString EditorHelpText();
QString EditorVersionText();

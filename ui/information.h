#pragma once
// The animation information dialog. For now an empty window in its place in
// the start-up order; the boxes and their rules come with the dialog's work.
#include <QDialog>

class TDocument;

// What the dialog needs of the main window, kept narrow so the dialog can
// be shown and tested without it.
class TInformationHost {
public:
    virtual ~TInformationHost() = default;
    virtual TDocument& Document() = 0;
    // The status bar's automatic display of the hint under the mouse.
    virtual void SetAutoHints(bool on) = 0;
    virtual void EnableMainWindow() = 0;
    // The current local year, for the generated copyright line.
    virtual int CurrentYear() = 0;
};

class TFrmInformation : public QDialog {
    Q_OBJECT
public:
    explicit TFrmInformation(TInformationHost& host, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TInformationHost& m_host;
};

#pragma once
// The animation information dialog. For now an empty window in its place in
// the start-up order; the boxes and their rules come with the dialog's work.
#include <QDialog>

class TFrmInformation : public QDialog {
    Q_OBJECT
public:
    explicit TFrmInformation(QWidget* parent = nullptr);
};

#include "ui/information.h"

#include "ui/WindowFont.h"

TFrmInformation::TFrmInformation(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmInformation"));
    setWindowTitle(QStringLiteral("Animation Information"));
    setFont(WindowFont());
    setFixedSize(378, 223);
}

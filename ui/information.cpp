#include "ui/information.h"

#include "ui/WindowFont.h"

TFrmInformation::TFrmInformation(TInformationHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("FrmInformation"));
    setWindowTitle(QStringLiteral("Animation Information"));
    setFont(WindowFont());
    setFixedSize(378, 223);
}

#include "ui/information.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QShowEvent>
#include <QToolButton>
#include <QValidator>
#include <QWindow>
#include <algorithm>
#include <limits>

#include "core/Document.h"
#include "ui/FramePlacement.h"
#include "ui/WindowFont.h"

namespace {

// The fields hold 8-bit characters, shown as Latin-1.
QString FromField(const std::string& field) {
    return QString::fromLatin1(field.data(), qsizetype(field.size()));
}
std::string ToField(const QString& text) { return text.toLatin1().toStdString(); }

// Blank as the file writer judges it: a character the fields cannot hold
// is never blank.
bool IsBlankText(const QString& text) { return IsBlank(ToField(text)); }

// Stands between the user and a box: refuses characters the 8-bit fields
// cannot hold, so nothing typed changes when saved, and stops typing at the
// limit, keeping as much of a paste as fits. Text the dialog writes itself
// bypasses it, so a longer generated line can still be shortened by hand.
class TTypingFilter : public QValidator {
public:
    explicit TTypingFilter(QLineEdit* box) : QValidator(box) {
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { m_last = text; });
    }

    State validate(QString& input, int& pos) const override {
        for (QChar c : input)
            if (c.unicode() > 0xFF) return Invalid;
        const qsizetype allowed = std::max<qsizetype>(TFrmInformation::kMaxTyped, m_last.size());
        const qsizetype excess = input.size() - allowed;
        if (excess > 0) {
            // The excess is the tail of what was just inserted before the cursor.
            if (pos < excess) return Invalid;
            input.remove(pos - excess, excess);
            pos -= int(excess);
            if (input == m_last) return Invalid;
        }
        return Acceptable;
    }

private:
    QString m_last;
};

constexpr int kLabelLeft = 8, kLabelWidth = 105, kLabelHeight = 13;
constexpr int kBoxLeft = 120, kBoxWidth = 249, kBoxHeight = 21;
const QString kHomepagePrefix = QStringLiteral("http://");

// An address that names its own scheme (https://, ftp://, …): a letter, then
// letters, digits, "+", "-" or ".", then "://".
bool StartsWithScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(text).hasMatch();
}

}  // namespace

TFrmInformation::TFrmInformation(TInformationHost& host)
    : m_host(host), m_placement(new FramePlacement(this)) {
    setObjectName("FrmInformation");
    // A small-caption tool window without caption buttons, above all others.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setWindowTitle("Animation Information");
    setFixedSize(378, 223);
    setFont(WindowFont());

    struct LabelSpec {
        const char* name;
        int top;
        const char* text;
    };
    const LabelSpec labels[] = {
        {"Label1", 16, "Animation Title:"},   {"Label7", 40, "Animation Category:"},
        {"Label2", 64, "Author Name:"},       {"Label3", 88, "Author Email:"},
        {"Label4", 112, "Author Homepage:"},  {"Label5", 136, "Copyright Information:"},
        {"Label6", 160, "Additional Comments:"},
    };
    for (const LabelSpec& entry : labels) {
        auto* label = new QLabel(entry.text, this);
        label->setObjectName(entry.name);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        const int height = QLatin1StringView(entry.name) == "Label5" ? 14 : kLabelHeight;
        label->setGeometry(kLabelLeft, entry.top, kLabelWidth, height);
    }

    EdtTitle = MakeBox("EdtTitle", 16, "Animation's Title (required)");

    CmbCategories = new QComboBox(this);
    CmbCategories->setObjectName("CmbCategories");
    CmbCategories->setGeometry(kBoxLeft, 40, 145, kBoxHeight);
    CmbCategories->setToolTip("Animation's Category");
    CmbCategories->setEditable(false);
    for (std::string_view name : kCategories)
        CmbCategories->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
    CmbCategories->setCurrentIndex(-1);

    EdtName = MakeBox("EdtName", 64, "Author's Name (required)");
    EdtEmail = MakeBox("EdtEmail", 88, "Author's Email");
    EdtHomepage = MakeBox("EdtHomepage", 112, "Author's Homepage");
    EdtCopyright = MakeBox("EdtCopyright", 136, "Copyright Information");
    EdtComments = MakeBox("EdtComments", 160, "Any additional comments");

    FlatSpeedButton1 = new QToolButton(this);
    FlatSpeedButton1->setObjectName("FlatSpeedButton1");
    FlatSpeedButton1->setText("Okay");
    FlatSpeedButton1->setAutoRaise(true);
    FlatSpeedButton1->setGeometry(296, 192, 73, 25);
    // Pressing it leaves the focus where it was, so the homepage box is not exited.
    FlatSpeedButton1->setFocusPolicy(Qt::NoFocus);
    FlatSpeedButton1->setEnabled(false);

    QWidget::setTabOrder(EdtTitle, CmbCategories);
    QWidget::setTabOrder(CmbCategories, EdtName);
    QWidget::setTabOrder(EdtName, EdtEmail);
    QWidget::setTabOrder(EdtEmail, EdtHomepage);
    QWidget::setTabOrder(EdtHomepage, EdtCopyright);
    QWidget::setTabOrder(EdtCopyright, EdtComments);

    connect(EdtTitle, &QLineEdit::textChanged, this, &TFrmInformation::EdtTitleChange);
    connect(EdtName, &QLineEdit::textChanged, this, &TFrmInformation::EdtNameChange);
    connect(FlatSpeedButton1, &QToolButton::clicked, this, &TFrmInformation::FlatSpeedButton1Click);
    // Leaving the homepage box counts only when the focus stays in the dialog.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (old == EdtHomepage && now && now != EdtHomepage && isAncestorOf(now)) EdtHomepageExit();
    });
    if (QWidget* hostWindow = m_host.HostWindow()) hostWindow->installEventFilter(this);
}

// Hiding during destruction moves the focus; the dialog must not hear of it
// once it is half gone.
TFrmInformation::~TFrmInformation() { disconnect(m_focusWatch); }

QLineEdit* TFrmInformation::MakeBox(const char* name, int top, const char* hint) {
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    box->setGeometry(kBoxLeft, top, kBoxWidth, kBoxHeight);
    box->setToolTip(hint);
    // The limit is kept by the filter; the box itself must never cut loaded text.
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setValidator(new TTypingFilter(box));
    return box;
}

void TFrmInformation::SetBoxText(QLineEdit* box, const QString& text) {
    const QValidator* filter = box->validator();
    box->setValidator(nullptr);
    box->setText(text);
    box->setValidator(filter);
}

void TFrmInformation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;  // a restore, not a new showing
    if (QWidget* hostWindow = m_host.HostWindow(); hostWindow && windowHandle())
        windowHandle()->setTransientParent(hostWindow->windowHandle());
    m_placement->place();
    FormShow();
}

bool TFrmInformation::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate && watched == m_host.HostWindow() &&
        !m_host.HostWindow()->isEnabled() && isVisible())
        BringBack();
    return QDialog::eventFilter(watched, event);
}

void TFrmInformation::BringBack() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TFrmInformation::keyPressEvent(QKeyEvent* event) {
    // The dialog has no Cancel: Escape is not a way out.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return;
    QDialog::keyPressEvent(event);
}

void TFrmInformation::FormShow() {
    for (QLineEdit* box : {EdtTitle, EdtName, EdtEmail, EdtHomepage, EdtCopyright, EdtComments})
        SetBoxText(box, QString());
    m_host.SetAutoHints(false);

    const TDocument& doc = m_host.Document();
    SetBoxText(EdtTitle, FromField(doc.title));
    SetBoxText(EdtName, FromField(doc.authorName));
    // An optional field read from a file may hold the empty marker.
    if (doc.email != kEmptyMarker) SetBoxText(EdtEmail, FromField(doc.email));
    if (doc.homepage != kEmptyMarker) SetBoxText(EdtHomepage, FromField(doc.homepage));
    if (doc.comments != kEmptyMarker) SetBoxText(EdtComments, FromField(doc.comments));

    if (doc.categoryIndex == kNoCategory)
        CmbCategories->setCurrentIndex(0);
    else if (doc.categoryIndex < kCategories.size())
        CmbCategories->setCurrentIndex(doc.categoryIndex);
    else
        CmbCategories->setCurrentIndex(-1);

    // Last, so it replaces the line the author name has just generated.
    SetBoxText(EdtCopyright, FromField(doc.copyright));
}

void TFrmInformation::UpdateOkay() {
    FlatSpeedButton1->setEnabled(!IsBlankText(EdtTitle->text()) && !IsBlankText(EdtName->text()));
}

void TFrmInformation::EdtTitleChange() { UpdateOkay(); }

void TFrmInformation::EdtNameChange() {
    UpdateOkay();
    const QString year = QStringLiteral("%1 ").arg(m_host.CurrentYear(), 4, 10, QLatin1Char('0'));
    SetBoxText(EdtCopyright,
               QChar(0xA9) + QStringLiteral(" Copyright ") + year + QStringLiteral("by ") + EdtName->text());
}

void TFrmInformation::EdtHomepageExit() {
    const QString text = EdtHomepage->text();
    // An address with a scheme of its own keeps it; "http://https://…" would
    // be no address at all.
    if (IsBlankText(text) || StartsWithScheme(text)) return;
    SetBoxText(EdtHomepage, kHomepagePrefix + text);
}

void TFrmInformation::FlatSpeedButton1Click() { close(); }

bool TFrmInformation::FormCloseQuery() const {
    return !IsBlankText(EdtTitle->text()) && !IsBlankText(EdtName->text());
}

void TFrmInformation::done(int result) {
    if (!FormCloseQuery()) return;
    FormClose();
    QDialog::done(result);
}

void TFrmInformation::FormClose() {
    TDocument& doc = m_host.Document();
    doc.title = ToField(EdtTitle->text());
    doc.authorName = ToField(EdtName->text());
    doc.email = ToField(EdtEmail->text());
    doc.homepage = ToField(EdtHomepage->text());
    doc.copyright = ToField(EdtCopyright->text());
    doc.comments = ToField(EdtComments->text());
    const int selected = CmbCategories->currentIndex();
    doc.categoryIndex = selected < 0 ? 255 : uint8_t(selected);
    m_host.SetAutoHints(true);
    m_host.EnableMainWindow();
}

#include "ui/information.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <ostream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "FakeServices.h"
#include "core/Document.h"
#include "ui/main.h"

namespace {

// Stands in for the main window: records what the dialog asks of it.
class FakeHost : public TInformationHost {
public:
    TDocument doc;
    int year = 2000;
    bool autoHints = true;
    int enableCalls = 0;
    std::vector<std::string> log;
    std::function<void()> onHintsOff;
    std::function<void()> onEnable;

    TDocument& Document() override { return doc; }
    void SetAutoHints(bool on) override {
        autoHints = on;
        log.push_back(on ? "hints on" : "hints off");
        if (!on && onHintsOff) onHintsOff();
    }
    void EnableMainWindow() override {
        ++enableCalls;
        log.push_back("enable");
        if (onEnable) onEnable();
    }
    int CurrentYear() override { return year; }
};

const QString kC = QString(QChar(0xA9));

class InformationDialog : public ::testing::Test {
protected:
    FakeHost host;
    TFrmInformation dialog{host};

    QLineEdit* Box(const char* name) { return dialog.findChild<QLineEdit*>(name); }
    QLineEdit* Title() { return Box("EdtTitle"); }
    QLineEdit* Name() { return Box("EdtName"); }
    QLineEdit* Email() { return Box("EdtEmail"); }
    QLineEdit* Homepage() { return Box("EdtHomepage"); }
    QLineEdit* Copyright() { return Box("EdtCopyright"); }
    QLineEdit* Comments() { return Box("EdtComments"); }
    QComboBox* Categories() { return dialog.findChild<QComboBox*>("CmbCategories"); }
    QToolButton* Okay() { return dialog.findChild<QToolButton*>("FlatSpeedButton1"); }

    void Show() {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    // Replaces a box's text the way the user would: select all, then type.
    void Retype(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    // Types any characters, also those without a key of their own.
    void TypeText(QLineEdit* box, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
        }
    }
    void FillRequired() {
        QTest::keyClicks(Title(), "t");
        QTest::keyClicks(Name(), "n");
    }
    void ClickOkay() { QTest::mouseClick(Okay(), Qt::LeftButton); }
};

// --- Layout -------------------------------------------------------------

TEST_F(InformationDialog, IsAFixedToolWindowWithoutCaptionButtonsAboveOthers) {
    EXPECT_EQ(dialog.windowTitle(), "Animation Information");
    EXPECT_EQ(dialog.size(), QSize(378, 223));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);
}

TEST_F(InformationDialog, EveryShowingIsCentredOnTheScreenByItsFrame) {
    std::vector<QRect> frames;
    for (int i = 0; i < 3; ++i) {
        Show();
        frames.push_back(dialog.frameGeometry());
        FillRequired();
        ClickOkay();
    }
    EXPECT_EQ(frames[0].center(), dialog.screen()->availableGeometry().center());
    EXPECT_EQ(dialog.size(), QSize(378, 223));
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(frames[2], frames[0]);
}

TEST_F(InformationDialog, LabelsAreRightAlignedAtTheirPlaces) {
    const struct {
        const char* name;
        int top, height;
        const char* text;
    } labels[] = {
        {"Label1", 16, 13, "Animation Title:"},  {"Label7", 40, 13, "Animation Category:"},
        {"Label2", 64, 13, "Author Name:"},      {"Label3", 88, 13, "Author Email:"},
        {"Label4", 112, 13, "Author Homepage:"}, {"Label5", 136, 14, "Copyright Information:"},
        {"Label6", 160, 13, "Additional Comments:"},
    };
    for (const auto& l : labels) {
        SCOPED_TRACE(l.name);
        auto* label = dialog.findChild<QLabel*>(l.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), l.text);
        EXPECT_EQ(label->geometry(), QRect(8, l.top, 105, l.height));
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    }
}

TEST_F(InformationDialog, BoxesHaveTheirPlacesHintsAndTabOrder) {
    const struct {
        const char* name;
        int top, width;
        const char* hint;
    } boxes[] = {
        {"EdtTitle", 16, 249, "Animation's Title (required)"},
        {"CmbCategories", 40, 145, "Animation's Category"},
        {"EdtName", 64, 249, "Author's Name (required)"},
        {"EdtEmail", 88, 249, "Author's Email"},
        {"EdtHomepage", 112, 249, "Author's Homepage"},
        {"EdtCopyright", 136, 249, "Copyright Information"},
        {"EdtComments", 160, 249, "Any additional comments"},
    };
    QWidget* previous = nullptr;
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.name);
        auto* box = dialog.findChild<QWidget*>(b.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->geometry(), QRect(120, b.top, b.width, 21));
        EXPECT_EQ(box->toolTip(), b.hint);
        if (previous) {
            EXPECT_EQ(previous->nextInFocusChain(), box);
        }
        previous = box;
    }
}

TEST_F(InformationDialog, CategoryListOffersTheSixteenCategoriesWithNoneSelected) {
    QComboBox* list = Categories();
    EXPECT_FALSE(list->isEditable());
    ASSERT_EQ(list->count(), 16);
    EXPECT_EQ(list->itemText(0), "Animals");
    EXPECT_EQ(list->itemText(14), "Science & Technology");
    EXPECT_EQ(list->itemText(15), "TV & Movies");
    EXPECT_EQ(list->currentIndex(), -1);
}

TEST_F(InformationDialog, OkayIsAFlatDisabledButtonThatNeverTakesFocus) {
    QToolButton* okay = Okay();
    ASSERT_NE(okay, nullptr);
    EXPECT_EQ(okay->text(), "Okay");
    EXPECT_EQ(okay->geometry(), QRect(296, 192, 73, 25));
    EXPECT_TRUE(okay->autoRaise());
    EXPECT_FALSE(okay->isEnabled());
    EXPECT_EQ(okay->focusPolicy(), Qt::NoFocus);
}

// --- Showing ------------------------------------------------------------

TEST_F(InformationDialog, NewDocumentOpensEmptyWithAnimalsAndOkayDisabled) {
    Show();
    for (QLineEdit* box : {Title(), Name(), Email(), Homepage(), Copyright(), Comments()})
        EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
    EXPECT_EQ(Categories()->currentText(), "Animals");
    EXPECT_FALSE(Okay()->isEnabled());
    EXPECT_FALSE(host.autoHints);
}

TEST_F(InformationDialog, ShowingLoadsEveryFieldAndKeepsTheStoredCopyright) {
    host.doc.title = "Title";
    host.doc.authorName = "Ann";
    host.doc.email = "a@b";
    host.doc.homepage = "http://h";
    host.doc.copyright = "mine";
    host.doc.comments = "note";
    host.doc.categoryIndex = 3;
    Show();
    EXPECT_EQ(Title()->text(), "Title");
    EXPECT_EQ(Name()->text(), "Ann");
    EXPECT_EQ(Email()->text(), "a@b");
    EXPECT_EQ(Homepage()->text(), "http://h");
    EXPECT_EQ(Copyright()->text(), "mine");
    EXPECT_EQ(Comments()->text(), "note");
    EXPECT_EQ(Categories()->currentText(), "Games");
    EXPECT_TRUE(Okay()->isEnabled());
}

TEST_F(InformationDialog, StoredEmptyCopyrightReplacesTheGeneratedLine) {
    host.doc.title = "T";
    host.doc.authorName = "Ann";
    Show();
    EXPECT_EQ(Copyright()->text(), "");
}

TEST_F(InformationDialog, HintsGoOffAfterTheBoxesAreEmptiedAndBeforeTheyAreLoaded) {
    host.doc.title = "old";
    Show();
    dialog.hide();
    QTest::keyClicks(Email(), "left over");
    host.doc.title = "new";
    QStringList seen;
    host.onHintsOff = [&] { seen << Title()->text() << Email()->text() << Copyright()->text(); };
    Show();
    EXPECT_EQ(seen, QStringList({"", "", ""}));
    EXPECT_EQ(Title()->text(), "new");
}

TEST_F(InformationDialog, EveryShowingReloadsTheBoxes) {
    Show();
    FillRequired();
    QTest::keyClicks(Comments(), "typed");
    ClickOkay();
    ASSERT_FALSE(dialog.isVisible());
    host.doc.comments = "changed elsewhere";
    host.doc.title = "other";
    Show();
    EXPECT_EQ(Comments()->text(), "changed elsewhere");
    EXPECT_EQ(Title()->text(), "other");
}

TEST_F(InformationDialog, EmptyMarkerShowsAsAnEmptyOptionalBoxOnly) {
    host.doc.title = "~x";
    host.doc.authorName = "~x";
    host.doc.email = "~x";
    host.doc.homepage = "~x";
    host.doc.comments = "~x";
    host.doc.copyright = "~x";
    Show();
    EXPECT_EQ(Title()->text(), "~x");
    EXPECT_EQ(Name()->text(), "~x");
    EXPECT_EQ(Email()->text(), "");
    EXPECT_EQ(Homepage()->text(), "");
    EXPECT_EQ(Comments()->text(), "");
    EXPECT_EQ(Copyright()->text(), "~x");
    ClickOkay();
    EXPECT_EQ(host.doc.email, "");
    EXPECT_EQ(host.doc.homepage, "");
    EXPECT_EQ(host.doc.comments, "");
    EXPECT_EQ(host.doc.copyright, "~x");
}

TEST_F(InformationDialog, ShowingWithBlankTitleOrNameLeavesOkayDisabled) {
    host.doc.title = "  ";
    host.doc.authorName = "Ann";
    Show();
    EXPECT_FALSE(Okay()->isEnabled());
    dialog.hide();
    host.doc.title = "T";
    host.doc.authorName = "\t";
    Show();
    EXPECT_FALSE(Okay()->isEnabled());
}

// --- Categories ---------------------------------------------------------

TEST_F(InformationDialog, CategorySevenSelectsPatterns) {
    host.doc.categoryIndex = 7;
    Show();
    EXPECT_EQ(Categories()->currentText(), "Patterns");
}

TEST_F(InformationDialog, UnknownCategorySelectsNothingAndStores255) {
    host.doc.categoryIndex = 200;
    Show();
    EXPECT_EQ(Categories()->currentIndex(), -1);
    FillRequired();
    ClickOkay();
    EXPECT_EQ(host.doc.categoryIndex, 255);
}

TEST_F(InformationDialog, CategorySixteenIsAlreadyUnknown) {
    host.doc.categoryIndex = 16;
    Show();
    EXPECT_EQ(Categories()->currentIndex(), -1);
}

TEST_F(InformationDialog, NoCategoryStoresAnimalsWhenLeftUntouched) {
    Show();
    FillRequired();
    ClickOkay();
    EXPECT_EQ(host.doc.categoryIndex, 0);
}

TEST_F(InformationDialog, ChosenCategoryIsStored) {
    host.doc.categoryIndex = 200;
    Show();
    Categories()->setCurrentIndex(15);
    FillRequired();
    ClickOkay();
    EXPECT_EQ(host.doc.categoryIndex, 15);
}

// --- Okay and the copyright line ----------------------------------------

TEST_F(InformationDialog, TitleOfSpacesKeepsOkayDisabled) {
    Show();
    QTest::keyClicks(Name(), "n");
    QTest::keyClicks(Title(), "   ");
    EXPECT_FALSE(Okay()->isEnabled());
}

TEST_F(InformationDialog, PaddedTitleEnablesOkayAndIsStoredWithItsSpaces) {
    Show();
    QTest::keyClicks(Name(), "n");
    QTest::keyClicks(Title(), " a ");
    EXPECT_TRUE(Okay()->isEnabled());
    ClickOkay();
    EXPECT_EQ(host.doc.title, " a ");
}

TEST_F(InformationDialog, CopyrightFollowsEveryKeystrokeOfTheName) {
    Show();
    QTest::keyClicks(Name(), "a");
    EXPECT_EQ(Copyright()->text(), kC + " Copyright 2000 by a");
    QTest::keyClicks(Name(), "bc");
    EXPECT_EQ(Copyright()->text(), kC + " Copyright 2000 by abc");
    Name()->selectAll();
    QTest::keyClick(Name(), Qt::Key_Backspace);
    EXPECT_EQ(Copyright()->text(), kC + " Copyright 2000 by ");
    EXPECT_FALSE(Okay()->isEnabled());
}

TEST_F(InformationDialog, CopyrightUsesTheCurrentYearAndTheUntrimmedName) {
    host.year = 2031;
    Show();
    QTest::keyClicks(Name(), " Bo ");
    EXPECT_EQ(Copyright()->text(), kC + " Copyright 2031 by  Bo ");
}

TEST_F(InformationDialog, NameChangeOverwritesAHandEditedCopyright) {
    Show();
    QTest::keyClicks(Name(), "Al");
    Retype(Copyright(), "all mine");
    QTest::keyClicks(Name(), "f");
    EXPECT_EQ(Copyright()->text(), kC + " Copyright 2000 by Alf");
}

TEST_F(InformationDialog, CopyrightSignIsStoredAsItsLatin1Byte) {
    Show();
    QTest::keyClicks(Title(), "t");
    QTest::keyClicks(Name(), "abc");
    ClickOkay();
    EXPECT_EQ(host.doc.copyright, "\xA9 Copyright 2000 by abc");
}

// --- Homepage -----------------------------------------------------------

struct HomepageCase {
    const char* typed;
    const char* after;
};

void PrintTo(const HomepageCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class HomepageExit : public InformationDialog, public ::testing::WithParamInterface<HomepageCase> {};

TEST_P(HomepageExit, MovingToAnotherBoxAppliesThePrefixRule) {
    Show();
    Homepage()->setFocus();
    QTest::keyClicks(Homepage(), GetParam().typed);
    Copyright()->setFocus();
    EXPECT_EQ(Homepage()->text(), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, HomepageExit,
    ::testing::Values(HomepageCase{"abc", "http://abc"}, HomepageCase{"HTTP://x", "HTTP://x"},
                      HomepageCase{"hTtP://x", "hTtP://x"}, HomepageCase{"   ", "   "},
                      HomepageCase{"https://x", "https://x"}, HomepageCase{"ftp://x", "ftp://x"},
                      HomepageCase{"svn+ssh://x", "svn+ssh://x"}, HomepageCase{"a1.b-c://x", "a1.b-c://x"},
                      HomepageCase{"1a://x", "http://1a://x"}, HomepageCase{"a b://x", "http://a b://x"},
                      HomepageCase{"mailto:x", "http://mailto:x"}, HomepageCase{"://x", "http://://x"},
                      HomepageCase{" http://x", "http:// http://x"}, HomepageCase{"http:/", "http://http:/"},
                      HomepageCase{"", ""}));

TEST_F(InformationDialog, HomepageExitRunsOnlyWhenTheFocusLeavesTheHomepageBox) {
    Show();
    Email()->setFocus();
    QTest::keyClicks(Homepage(), "abc");
    Copyright()->setFocus();
    EXPECT_EQ(Homepage()->text(), "abc");
}

TEST_F(InformationDialog, OkayWhileInTheHomepageBoxStoresItWithoutPrefix) {
    Show();
    FillRequired();
    Homepage()->setFocus();
    QTest::keyClicks(Homepage(), "abc");
    ClickOkay();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(host.doc.homepage, "abc");
}

// --- Closing ------------------------------------------------------------

TEST_F(InformationDialog, CloseIsRefusedWhileTitleOrNameIsBlank) {
    Show();
    QTest::keyClicks(Title(), "t");
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(Name(), " ");
    EXPECT_FALSE(dialog.close());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(host.enableCalls, 0);
    EXPECT_FALSE(host.autoHints);
    EXPECT_EQ(host.doc.title, "");
}

TEST_F(InformationDialog, EscapeNeitherClosesNorStores) {
    Show();
    FillRequired();
    QTest::keyClick(Title(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(host.doc.title, "");
}

TEST_F(InformationDialog, ClosingStoresEveryBoxUntrimmed) {
    Show();
    QTest::keyClicks(Title(), " T ");
    QTest::keyClicks(Name(), " N ");
    QTest::keyClicks(Email(), "  ");
    QTest::keyClicks(Homepage(), " h ");
    Retype(Copyright(), " c ");
    QTest::keyClicks(Comments(), " x ");
    Categories()->setCurrentIndex(9);
    ClickOkay();
    EXPECT_EQ(host.doc.title, " T ");
    EXPECT_EQ(host.doc.authorName, " N ");
    EXPECT_EQ(host.doc.email, "  ");
    EXPECT_EQ(host.doc.homepage, " h ");
    EXPECT_EQ(host.doc.copyright, " c ");
    EXPECT_EQ(host.doc.comments, " x ");
    EXPECT_EQ(host.doc.categoryIndex, 9);
}

TEST_F(InformationDialog, ClosingStoresThenRestoresHintsThenEnablesTheMainWindow) {
    Show();
    FillRequired();
    std::string titleWhenEnabled;
    bool visibleWhenEnabled = false;
    host.onEnable = [&] {
        titleWhenEnabled = host.doc.title;
        visibleWhenEnabled = dialog.isVisible();
    };
    host.log.clear();
    ClickOkay();
    EXPECT_EQ(host.log, (std::vector<std::string>{"hints on", "enable"}));
    EXPECT_EQ(titleWhenEnabled, "t");
    EXPECT_TRUE(visibleWhenEnabled);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(host.autoHints);
}

TEST_F(InformationDialog, ClosingThroughTheWindowSystemGoesThroughTheSameTest) {
    Show();
    FillRequired();
    EXPECT_TRUE(dialog.close());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(host.enableCalls, 1);
    EXPECT_EQ(host.doc.authorName, "n");
}

// --- What can be typed --------------------------------------------------

TEST_F(InformationDialog, TypingStopsAt255Characters) {
    Show();
    QTest::keyClicks(Comments(), QString(260, 'c'));
    EXPECT_EQ(Comments()->text().size(), 255);
}

TEST_F(InformationDialog, PasteKeepsWhatFits) {
    Show();
    QTest::keyClicks(Email(), QString(250, 'e'));
    Email()->setCursorPosition(0);
    QApplication::clipboard()->setText("0123456789");
    Email()->paste();
    EXPECT_EQ(Email()->text(), "01234" + QString(250, 'e'));
}

TEST_F(InformationDialog, LoadedTextIsNotCutAndCanBeShortenedButNotLengthened) {
    host.doc.comments = std::string(300, 'x');
    Show();
    EXPECT_EQ(Comments()->text().size(), 300);
    QTest::keyClick(Comments(), Qt::Key_End);
    QTest::keyClick(Comments(), Qt::Key_Backspace);
    EXPECT_EQ(Comments()->text().size(), 299);
    QTest::keyClicks(Comments(), "y");
    EXPECT_EQ(Comments()->text().size(), 299);
}

TEST_F(InformationDialog, GeneratedCopyrightIsKeptWhole) {
    Show();
    QTest::keyClicks(Title(), "t");
    QTest::keyClicks(Name(), QString(255, 'n'));
    EXPECT_EQ(Copyright()->text().size(), 275);
    ClickOkay();
    EXPECT_EQ(host.doc.copyright.size(), 275u);
}

TEST_F(InformationDialog, GeneratedHomepagePrefixIsKeptWhole) {
    Show();
    FillRequired();
    Homepage()->setFocus();
    QTest::keyClicks(Homepage(), QString(255, 'h'));
    Comments()->setFocus();
    ClickOkay();
    EXPECT_EQ(host.doc.homepage, "http://" + std::string(255, 'h'));
}

TEST_F(InformationDialog, Latin1LettersAreTypedAndStoredAsTheirBytes) {
    Show();
    TypeText(Title(), QString::fromUtf8("Café ±"));
    QTest::keyClicks(Name(), "n");
    ClickOkay();
    EXPECT_EQ(host.doc.title, "Caf\xE9 \xB1");
}

TEST_F(InformationDialog, CharactersOutsideLatin1CannotBeTyped) {
    Show();
    TypeText(Title(), QString::fromUtf8("a€bЖc"));
    EXPECT_EQ(Title()->text(), "abc");
    QApplication::clipboard()->setText(QString::fromUtf8("x€"));
    Title()->paste();
    EXPECT_EQ(Title()->text(), "abc");
}

TEST_F(InformationDialog, EightBitFieldsRoundTripUnchanged) {
    host.doc.title = "\xC0\xFF";
    host.doc.authorName = "\x80\x9F";
    Show();
    EXPECT_EQ(Title()->text(), QString::fromUtf8("Àÿ"));
    ClickOkay();
    EXPECT_EQ(host.doc.title, "\xC0\xFF");
    EXPECT_EQ(host.doc.authorName, "\x80\x9F");
}

// --- With the main window ------------------------------------------------

// The dialog as the editor makes it: a window of its own beside the main window.
class InformationButton : public ::testing::Test {
protected:
    test::FakeServices services;
    TFrmMain window{services};
    TFrmInformation information{window};

    void SetUp() override {
        window.SetWindows(&information, nullptr);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QLineEdit* Box(const char* name) { return information.findChild<QLineEdit*>(name); }
    void ClickInformation() { QTest::mouseClick(window.FlatSpeedButton6, Qt::LeftButton); }
};

TEST_F(InformationButton, ShowsTheDialogWithoutWaitingAndDisablesTheMainWindow) {
    window.Document().title = "Spin";
    ClickInformation();
    EXPECT_TRUE(information.isVisible());
    EXPECT_FALSE(information.isModal());
    EXPECT_TRUE(services.modalWindows.empty());
    EXPECT_FALSE(window.isEnabled());
    EXPECT_TRUE(information.isEnabled());
    EXPECT_TRUE(Box("EdtName")->isEnabled());
    EXPECT_FALSE(window.AutoHints());
    EXPECT_EQ(Box("EdtTitle")->text(), "Spin");
}

TEST_F(InformationButton, ClosingStoresTheFieldsAndGivesTheMainWindowBack) {
    services.year = 1999;
    ClickInformation();
    QTest::keyClicks(Box("EdtTitle"), "Spin");
    QTest::keyClicks(Box("EdtName"), "Ann");
    QTest::mouseClick(information.findChild<QToolButton*>("FlatSpeedButton1"), Qt::LeftButton);
    EXPECT_FALSE(information.isVisible());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.AutoHints());
    EXPECT_EQ(window.Document().title, "Spin");
    EXPECT_EQ(window.Document().copyright, "\xA9 Copyright 1999 by Ann");
    EXPECT_EQ(window.Document().categoryIndex, 0);
}

TEST_F(InformationButton, DialogBelongsToTheMainWindow) {
    ClickInformation();
    ASSERT_NE(information.windowHandle(), nullptr);
    EXPECT_EQ(information.windowHandle()->transientParent(), window.windowHandle());
    EXPECT_FALSE(information.windowFlags() & Qt::WindowMinMaxButtonsHint);
}

TEST_F(InformationButton, ActivatingTheDisabledMainWindowBringsTheDialogBack) {
    ClickInformation();
    information.showMinimized();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &information; }));
    EXPECT_FALSE(information.isMinimized());
    EXPECT_FALSE(window.isEnabled());
}

TEST_F(InformationButton, BlankFieldsKeepTheMainWindowDisabled) {
    ClickInformation();
    information.close();
    EXPECT_TRUE(information.isVisible());
    EXPECT_FALSE(window.isEnabled());
}

}  // namespace

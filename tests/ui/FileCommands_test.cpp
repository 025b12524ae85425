#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cctype>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FakeServices.h"
#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/Canvas.h"
#include "core/Conversion.h"
#include "formats/Fd.h"
#include "formats/FileBytes.h"
#include "formats/RecoveryCopy.h"
#include "core/DocumentFile.h"
#include "formats/ZNFile.h"
#include "ui/StatusBar.h"
#include "ui/ImageView.h"
#include "ui/UpDown.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

namespace {

using test::Bytes;

constexpr Rgb kOffRed{250, 10, 10};  // not a standard colour; reduces to red
constexpr Rgb kRedRgb = kStandardColours[kRed];
constexpr Rgb kBlueRgb = kStandardColours[kBlue];
const QString kBusyText = QStringLiteral("Shrinking and reducing colours - Please wait...");
const QString kCannotOpen = QStringLiteral("Sorry, but I'm having trouble opening this file. Please try another");

// A 16×16 icon, 24 bits deep so it can hold colours outside the standard 16,
// in one colour with a transparent top-left pixel.
Bytes IconOf(Rgb colour) {
    return test::BuildIcon(
        test::MakeImage(16, 16, [&](int x, int y) { return x == 0 && y == 0 ? test::Clear() : test::Opaque(colour); }),
        24);
}

// A document of frames in the given colours, with rates 7, 8, 9…
TDocument Animation(std::initializer_list<Rgb> colours) {
    TDocument document;
    document.ClearDocument();
    int32_t rate = 7;
    for (Rgb colour : colours) {
        Picture picture(16, 16, colour);
        picture.set(0, 0, kKeyColour);
        document.AppendFrame(MakeFrameIcon(picture), rate++);
    }
    return document;
}

// Records what status panel 0 shows each time it is painted while busy.
class PaintWatch : public QObject {
public:
    struct Paint {
        QString text;
        bool busy;
        bool enabled;
    };
    std::vector<Paint> paints;
    test::FakeServices* services = nullptr;
    QWidget* window = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const QString text = static_cast<QLabel*>(watched)->text();
            if (!text.isEmpty()) paints.push_back({text, services->busy, window->isEnabled()});
        }
        return false;
    }
};

// Fake services that also note the window's state while the save dialog is up.
class RecordingServices : public test::FakeServices {
public:
    QWidget* window = nullptr;
    int saveDialogs = 0;
    bool busyInSaveDialog = false;

    bool RunSaveDialog(QWidget* parent, FileDialogState& state) override {
        ++saveDialogs;
        busyInSaveDialog = busy;
        return FakeServices::RunSaveDialog(parent, state);
    }
};

// What the window shows of the animation, to prove an Open changed nothing.
struct WindowState {
    int frames, position, maximum, ratePosition;
    QString label2, rateText;
    Picture bitmap;
    std::string title;
    uint8_t category;
    std::vector<int32_t> rates;
    friend bool operator==(const WindowState&, const WindowState&) = default;
};

class FileCommands : public ::testing::Test {
protected:
    RecordingServices services;
    TFrmMain window{services};
    TFrmInformation information{window};
    TFrmPreview preview{window.Document(), &window};
    PaintWatch watch;
    QTemporaryDir dir;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        window.SetWindows(&information, &preview);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        services.window = &window;
        watch.services = &services;
        watch.window = &window;
        window.StatusBar1->panel(0)->installEventFilter(&watch);
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const Bytes& bytes) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return Path(name);
    }
    Bytes Read(const QString& path) { return ReadFileBytes(path.toStdString(), size_t(1) << 24); }

    void Open(const QString& path) {
        services.openAnswer = path;
        QTest::mouseClick(window.FlatSpeedButton3, Qt::LeftButton);
    }
    void Save(const QString& path) {
        services.saveAnswer = path;
        QTest::mouseClick(window.FlatSpeedButton4, Qt::LeftButton);
    }

    Rgb Pixel(int x, int y) { return window.Canvas().bitmap().at(x, y); }

    WindowState State() {
        WindowState s{window.Document().Count(), window.UpDown1->position(), window.UpDown1->maximum(),
                      window.UpDown2->position(), window.Label2->text(), window.Edit5->text(),
                      window.Canvas().bitmap(), window.Document().title, window.Document().categoryIndex, {}};
        for (int n = 1; n <= s.frames; ++n) s.rates.push_back(window.Document().FrameAt(n).rate);
        return s;
    }

    // Two frames, the second current and painted, rate box 21, a title.
    void MakeSomeAnimation() {
        QTest::mouseClick(window.FlatSpeedButton1, Qt::LeftButton);
        window.Edit5->setText(QStringLiteral("21"));
        QTest::mouseClick(window.ImgDrawSurface, Qt::LeftButton, Qt::NoModifier, QPoint(11, 11));
        window.Document().title = "kept";
    }

    void ExpectIdleAfterwards() {
        EXPECT_EQ(window.StatusText(0), QString());
        EXPECT_FALSE(services.busy);
        EXPECT_TRUE(window.isEnabled());
    }
    void ExpectCannotOpenMessage() {
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].caption, QStringLiteral("Error"));
        EXPECT_EQ(services.messages[0].text, kCannotOpen);
        EXPECT_EQ(services.messages[0].icon, MessageIcon::Error);
    }
};

// ---- The dialogs' settings -------------------------------------------------

TEST_F(FileCommands, OpenDialogOffersAnimationsZintrasAndCursors) {
    EXPECT_EQ(window.OpenDialog1.filters,
              QStringList({"Animations (*.zn *.ani)", "Zintras (*.zn)", "Animated Cursors (*.ani)"}));
    EXPECT_EQ(window.OpenDialog1.defaultSuffix, QStringLiteral("zn"));
    EXPECT_EQ(window.SaveDialog1.filters, QStringList({"Zintra File (*.zn)"}));
    EXPECT_EQ(window.SaveDialog1.defaultSuffix, QStringLiteral("zn"));
}

TEST_F(FileCommands, DialogsRememberTheLastChosenFile) {
    const QString path = Write("a.zn", EncodeZNFile(Animation({kRedRgb})));
    Open(path);
    EXPECT_EQ(window.OpenDialog1.fileName, path);
    window.Document().categoryIndex = 1;
    window.Document().title = window.Document().authorName = "x";
    Save(Path("b.zn"));
    EXPECT_EQ(window.SaveDialog1.fileName, Path("b.zn"));
    EXPECT_EQ(window.OpenDialog1.fileName, path);
}

// ---- Open ------------------------------------------------------------------

TEST_F(FileCommands, OpensACompressedZNFile) {
    TDocument saved = Animation({kRedRgb, kBlueRgb, kRedRgb});
    saved.title = "Title";
    saved.authorName = "Author";
    saved.email = "~x";
    saved.homepage = "http://h";
    saved.copyright = "c";
    saved.comments = "note";
    saved.categoryIndex = 4;
    Open(Write("anim.zn", EncodeZNFile(saved)));

    const TDocument& doc = window.Document();
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.title, "Title");
    EXPECT_EQ(doc.authorName, "Author");
    EXPECT_EQ(doc.email, "~x");
    EXPECT_EQ(doc.homepage, "http://h");
    EXPECT_EQ(doc.copyright, "c");
    EXPECT_EQ(doc.comments, "note");
    EXPECT_EQ(doc.categoryIndex, 4);
    EXPECT_EQ(doc.FrameAt(3).rate, 9);
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(window.UpDown1->maximum(), 3);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("1"));
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("7"));
    EXPECT_EQ(window.UpDown2->position(), 7);
    EXPECT_EQ(Pixel(5, 5), kRedRgb);
    EXPECT_EQ(Pixel(0, 0), kKeyColour);
    EXPECT_EQ(window.Canvas().enlargedView().at(11 + 21 * 5, 11 + 21 * 5), kRedRgb) << "the views are redrawn";
    EXPECT_TRUE(services.messages.empty());
    EXPECT_TRUE(watch.paints.empty()) << "a current file is not reduced";
    ExpectIdleAfterwards();
}

TEST_F(FileCommands, OpensAnUncompressedFileLikeTheCompressedOne) {
    const Bytes payload = test::ZNBuilder().currentHeader(2, 3.0, 6, "Raw", "Me").frame(15, IconOf(kOffRed))
                              .frame(16, IconOf(kBlueRgb)).payload();
    Open(Write("raw.zn", payload));
    ASSERT_EQ(window.Document().Count(), 2);
    EXPECT_EQ(window.Document().title, "Raw");
    EXPECT_EQ(window.Document().categoryIndex, 6);
    EXPECT_EQ(window.Document().FrameAt(2).rate, 16);
    EXPECT_EQ(Pixel(5, 5), kOffRed) << "version 3.0 keeps its colours";
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("15"));
}

TEST_F(FileCommands, OlderVersionIsReducedWithTheBusyTextAndOneRate) {
    const Bytes file = test::ZNBuilder().currentHeader(2, 2.5, 6).frame(15, IconOf(kOffRed))
                           .frame(16, IconOf(kBlueRgb)).compressed();
    Open(Write("old.zn", file));
    ASSERT_EQ(window.Document().Count(), 2);
    EXPECT_EQ(window.Document().categoryIndex, kNoCategory);
    EXPECT_EQ(window.Document().FrameAt(1).rate, 5);
    EXPECT_EQ(window.Document().FrameAt(2).rate, 5);
    EXPECT_EQ(Pixel(5, 5), kRedRgb);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("5"));
    ASSERT_EQ(watch.paints.size(), 1u);
    EXPECT_EQ(watch.paints[0].text, kBusyText);
    EXPECT_TRUE(watch.paints[0].busy);
    EXPECT_FALSE(watch.paints[0].enabled);
    ExpectIdleAfterwards();
}

TEST_F(FileCommands, OpensALegacyFile) {
    const Bytes icon = IconOf(kOffRed);
    const Bytes file = test::ZNBuilder()
                           .legacyHeader("1", "  " + std::to_string(icon.size()), " 5", " 2", "Old one")
                           .bytes(icon).bytes(IconOf(kBlueRgb)).payload();
    Open(Write("legacy.zn", file));
    ASSERT_EQ(window.Document().Count(), 2);
    EXPECT_EQ(window.Document().title, "Old one");
    EXPECT_EQ(window.Document().authorName, "");
    EXPECT_EQ(window.Document().categoryIndex, kNoCategory);
    EXPECT_EQ(window.Document().FrameAt(2).rate, 12);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("12"));
    EXPECT_EQ(Pixel(5, 5), kRedRgb);
    ASSERT_EQ(watch.paints.size(), 1u);
    EXPECT_EQ(watch.paints[0].text, kBusyText);
}

TEST_F(FileCommands, ImportsAnAnimatedCursor) {
    window.Document().email = "old";
    window.Document().categoryIndex = 3;
    Open(Write("spin.ani", test::SampleCursor({IconOf(kOffRed), IconOf(kBlueRgb), IconOf(kRedRgb)})));
    const TDocument& doc = window.Document();
    ASSERT_EQ(doc.Count(), 3);
    EXPECT_EQ(doc.title, "Sample");
    EXPECT_EQ(doc.authorName, "Zintra");
    EXPECT_EQ(doc.email, "");
    EXPECT_EQ(doc.comments, "");
    EXPECT_EQ(doc.categoryIndex, kNoCategory);
    EXPECT_EQ(doc.FrameAt(1).rate, 5);
    EXPECT_EQ(doc.FrameAt(3).rate, 7);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("5"));
    EXPECT_EQ(window.UpDown1->maximum(), 3);
    EXPECT_EQ(Pixel(5, 5), kRedRgb);
    ASSERT_EQ(watch.paints.size(), 1u);
    EXPECT_EQ(watch.paints[0].text, kBusyText);
    EXPECT_TRUE(services.messages.empty());
    ExpectIdleAfterwards();
}

TEST_F(FileCommands, ExtensionsAreComparedInLowerCase) {
    Open(Write("UPPER.ZN", EncodeZNFile(Animation({kBlueRgb, kBlueRgb}))));
    EXPECT_EQ(window.Document().Count(), 2);
    Open(Write("Mixed.Ani", test::SampleCursor({IconOf(kRedRgb)})));
    EXPECT_EQ(window.Document().title, "Sample");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(FileCommands, ExtensionIsTakenFromTheFileNameNotItsFolder) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.zn")));
    MakeSomeAnimation();
    const WindowState before = State();
    Open(Write("folder.zn/animation", EncodeZNFile(Animation({kBlueRgb}))));
    EXPECT_EQ(State(), before);
    ExpectCannotOpenMessage();
}

TEST_F(FileCommands, OpenLeavesRemoveFrameAsItWas) {
    Open(Write("five.zn", EncodeZNFile(Animation({kRedRgb, kRedRgb, kRedRgb, kRedRgb, kRedRgb}))));
    EXPECT_FALSE(window.FlatSpeedButton2->isEnabled());
    QTest::mouseClick(window.FlatSpeedButton1, Qt::LeftButton);
    Open(Write("one.zn", EncodeZNFile(Animation({kRedRgb}))));
    EXPECT_TRUE(window.FlatSpeedButton2->isEnabled());
}

TEST_F(FileCommands, RateBeyondTheSpinnerIsShownInFullAndCommittedAsTheNearest) {
    TDocument saved = Animation({kRedRgb, kBlueRgb});
    saved.CommitFrame(1, MakeFrameIcon(Picture(16, 16, kRedRgb)), 40000);
    saved.CommitFrame(2, MakeFrameIcon(Picture(16, 16, kBlueRgb)), -5);
    Open(Write("fast.zn", EncodeZNFile(saved)));
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("40000"));
    EXPECT_EQ(window.UpDown2->position(), 32736);
    QTest::mouseClick(window.FlatSpeedButton1, Qt::LeftButton);  // commits frame 1
    EXPECT_EQ(window.Document().FrameAt(1).rate, 32736);

    Open(Write("fast.zn", EncodeZNFile(saved)));
    window.UpDown1->step(UpDown::Button::Next);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("-5"));
    EXPECT_EQ(window.UpDown2->position(), 1);
}

TEST_F(FileCommands, CancelledOpenChangesNothing) {
    MakeSomeAnimation();
    const WindowState before = State();
    Open(QString());
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(services.messages.empty());
    ExpectIdleAfterwards();
}

// ---- Open of a file that cannot be read ------------------------------------

struct BadFile {
    const char* name;
    std::function<Bytes()> bytes;
};

void PrintTo(const BadFile& file, std::ostream* os) { *os << file.name; }

class OpenFailure : public FileCommands, public ::testing::WithParamInterface<BadFile> {};

TEST_P(OpenFailure, KeepsTheAnimationAndSaysSo) {
    MakeSomeAnimation();
    const WindowState before = State();
    Open(Write(GetParam().name, GetParam().bytes()));
    EXPECT_EQ(State(), before);
    ExpectCannotOpenMessage();
    ExpectIdleAfterwards();
    // Every command still works on the animation it kept.
    QTest::mouseClick(window.FlatSpeedButton2, Qt::LeftButton);
    EXPECT_EQ(window.Document().Count(), 1);
}

Bytes TwoFrameFile() { return EncodeZNFile(Animation({kRedRgb, kBlueRgb})); }

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailure,
    ::testing::Values(
        BadFile{"text.zn", [] { return test::Text("ZNot a ZN file at all"); }},
        BadFile{"garbage.zn", [] { return test::Text("this is neither ZN nor zlib"); }},
        BadFile{"truncated.zn", [] { return test::Truncated(TwoFrameFile(), TwoFrameFile().size() / 2); }},
        BadFile{"short.zn",
                [] {
                    Bytes payload = test::ZNBuilder().currentHeader(2).frame(10, IconOf(kRedRgb)).payload();
                    return payload;
                }},
        BadFile{"empty.zn", [] { return Bytes(); }},
        BadFile{"noframes.zn", [] { return test::ZNBuilder().currentHeader(0).compressed(); }},
        BadFile{"legacy3.zn",
                [] {
                    const Bytes icon = test::BuildIcon(test::SampleFrame());
                    return test::ZNBuilder().legacyHeader("3", "318", "5", "1", "t").bytes(icon).payload();
                }},
        BadFile{"badnumber.zn",
                [] {
                    return test::ZNBuilder().legacyHeader("1", "3x8", "5", "1", "t")
                        .bytes(test::BuildIcon(test::SampleFrame())).payload();
                }},
        BadFile{"empty.ani", [] { return Bytes(); }},
        BadFile{"damaged.ani", [] { return test::Truncated(test::SampleCursor({IconOf(kRedRgb)}), 40); }},
        BadFile{"noframes.ani",
                [] { return test::Riff("ACON", {test::HeaderChunk({.frames = 0, .steps = 0})}); }},
        BadFile{"animation.txt", [] { return TwoFrameFile(); }},
        BadFile{"noextension", [] { return TwoFrameFile(); }}),
    [](const ::testing::TestParamInfo<BadFile>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST_F(FileCommands, MoreFramesThanTheEditorCanNumberAreRefused) {
    const Bytes icon = test::BuildIcon(test::SampleFrame());
    test::ZNBuilder builder;
    builder.currentHeader(kMaxFrames + 1);
    for (int i = 0; i <= kMaxFrames; ++i) builder.frame(10, icon);
    MakeSomeAnimation();
    const WindowState before = State();
    Open(Write("huge.zn", builder.payload()));
    EXPECT_EQ(State(), before);
    ExpectCannotOpenMessage();
}

TEST_F(FileCommands, AFileThatVanishedIsReportedLikeADamagedOne) {
    MakeSomeAnimation();
    const WindowState before = State();
    Open(Path("gone.zn"));
    EXPECT_EQ(State(), before);
    ExpectCannotOpenMessage();
    ExpectIdleAfterwards();
}

// ---- Save ------------------------------------------------------------------

TEST_F(FileCommands, SavesACompleteDocumentWithoutAsking) {
    window.Document().title = "T";
    window.Document().authorName = "A";
    window.Document().categoryIndex = 2;
    window.Edit5->setText(QStringLiteral("33"));
    QTest::mouseClick(window.ImgDrawSurface, Qt::LeftButton, Qt::NoModifier, QPoint(11, 11));
    const QString path = Path("saved.zn");
    Save(path);

    EXPECT_TRUE(services.modalWindows.empty());
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Saved"));
    EXPECT_EQ(services.messages[0].text, QStringLiteral("The ZN file was created successfully!"));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(services.busyInSaveDialog);
    EXPECT_FALSE(services.busy);
    EXPECT_TRUE(window.isEnabled());

    EXPECT_EQ(Read(path), EncodeZNFile(window.Document()));
    TZNFile file;
    ReadBudget budget; file.Read(path.toStdString(), budget);
    EXPECT_EQ(file.Title(), "T");
    EXPECT_EQ(file.Category(), 2);
    ASSERT_EQ(file.FrameCount(), 1);
    EXPECT_EQ(file.Rate(0), 33) << "the current frame is committed first";
    Picture stored(16, 16);
    RenderFrameIcon(file.Icon(0), stored, kKeyColour, budget);
    EXPECT_EQ(stored.at(0, 0), kStandardColours[kBlack]);
    EXPECT_EQ(stored.at(1, 0), kKeyColour);
}

TEST_F(FileCommands, MissingCategoryShowsTheInformationDialogFirst) {
    window.Document().title = "T";
    window.Document().authorName = "A";
    bool busyInDialog = false;
    services.whileModal = [&](QDialog&) { busyInDialog = services.busy && !window.isEnabled(); };
    const QString path = Path("animals.zn");
    Save(path);
    ASSERT_EQ(services.modalWindows.size(), 1u);
    EXPECT_EQ(services.modalWindows[0], &information);
    EXPECT_TRUE(busyInDialog);
    EXPECT_FALSE(information.isVisible());
    TZNFile file;
    ReadBudget budget; file.Read(path.toStdString(), budget);
    EXPECT_EQ(file.Category(), 0) << "closing the dialog untouched picks Animals";
}

TEST_F(FileCommands, TitleOfOneSpaceIsNotEmptyForSave) {
    window.Document().title = " ";
    window.Document().authorName = "A";
    window.Document().categoryIndex = 3;
    Save(Path("space.zn"));
    EXPECT_TRUE(services.modalWindows.empty());
    EXPECT_EQ(services.saveDialogs, 1);
}

TEST_F(FileCommands, EmptyTitleIsAskedForAndSaved) {
    services.year = 2031;
    services.whileModal = [&](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>("EdtTitle"), "Spin");
        QTest::keyClicks(dialog.findChild<QLineEdit*>("EdtName"), "Ann");
        QTest::mouseClick(dialog.findChild<QToolButton*>("FlatSpeedButton1"), Qt::LeftButton);
    };
    const QString path = Path("asked.zn");
    Save(path);
    TZNFile file;
    ReadBudget budget; file.Read(path.toStdString(), budget);
    EXPECT_EQ(file.Title(), "Spin");
    EXPECT_EQ(file.AuthorName(), "Ann");
    EXPECT_EQ(file.Copyright(), "\xA9 Copyright 2031 by Ann");
    EXPECT_EQ(file.Email(), "~x");
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(FileCommands, CancelledSaveWritesNothingButKeepsTheCommit) {
    window.Document().title = window.Document().authorName = "x";
    window.Document().categoryIndex = 1;
    window.Edit5->setText(QStringLiteral("44"));
    Save(QString());
    EXPECT_TRUE(services.messages.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(window.Document().FrameAt(1).rate, 44);
    EXPECT_FALSE(services.busy);
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(FileCommands, SavingOverAFileReplacesItWithoutAQuestion) {
    const QString path = Write("over.zn", test::Text("old contents"));
    window.Document().title = window.Document().authorName = "x";
    window.Document().categoryIndex = 1;
    Save(path);
    EXPECT_EQ(Read(path), EncodeZNFile(window.Document()));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Saved"));
}

// However the user's file is reached, Save writes the file meant, keeps
// every name it had, says so, and leaves no temporary file behind.
TEST_F(FileCommands, SavingKeepsLinksNamesAndLeavesNothingBehind) {
    window.Document().title = window.Document().authorName = "x";
    window.Document().categoryIndex = 1;
    const QString longName = QString(252, QLatin1Char('n')) + QStringLiteral(".zn");  // 255 bytes
    Write("real.zn", test::Text("old contents"));
    ASSERT_TRUE(QFile::link(Path("real.zn"), Path("link.zn")));
    ASSERT_TRUE(QFile::link(QStringLiteral("missing.zn"), Path("dangling.zn")));
    Write("shared.zn", test::Text("old contents"));
    ASSERT_EQ(::link(qPrintable(Path("shared.zn")), qPrintable(Path("alias.zn"))), 0);
    const std::vector<std::tuple<QString, QString>> cases{
        // saved as, the name that must then read the new bytes
        {"link.zn", "real.zn"},
        {"dangling.zn", "missing.zn"},
        {"shared.zn", "alias.zn"},
        {longName, longName},
    };
    for (const auto& [savedAs, reads] : cases) {
        Save(Path(savedAs));
        EXPECT_EQ(Read(Path(reads)), EncodeZNFile(window.Document())) << qPrintable(savedAs);
        EXPECT_EQ(services.messages.back().text, QStringLiteral("The ZN file was created successfully!"));
    }
    EXPECT_TRUE(QFileInfo(Path("link.zn")).isSymLink());
    EXPECT_TRUE(QFileInfo(Path("dangling.zn")).isSymLink());
    struct stat shared {};
    ASSERT_EQ(::stat(qPrintable(Path("shared.zn")), &shared), 0);
    EXPECT_EQ(shared.st_nlink, 2u);
    const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    EXPECT_EQ(names, QStringList({"alias.zn", "dangling.zn", "link.zn", "missing.zn", longName, "real.zn", "shared.zn"}));
}

TEST_F(FileCommands, OpenedEmptyMarkerIsSavedAsItWas) {
    TDocument saved = Animation({kRedRgb});
    saved.title = "T";
    saved.authorName = "A";
    saved.email = "~x";
    saved.categoryIndex = 5;
    Open(Write("marker.zn", EncodeZNFile(saved)));
    Save(Path("again.zn"));
    EXPECT_TRUE(services.modalWindows.empty());
    TZNFile file;
    ReadBudget budget; file.Read(Path("again.zn").toStdString(), budget);
    EXPECT_EQ(file.Email(), "~x");
}

// ---- Save failures -----------------------------------------------------------

class SaveFailure : public FileCommands {
protected:
    void SetUp() override {
        FileCommands::SetUp();
        window.Document().title = window.Document().authorName = "x";
        window.Document().categoryIndex = 1;
    }
    void ExpectErrorReport(const QString& text) {
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].caption, QStringLiteral("Zintra Editor"));
        EXPECT_EQ(services.messages[0].text, text);
        EXPECT_EQ(services.messages[0].icon, MessageIcon::Error);
        EXPECT_FALSE(services.busy);
        EXPECT_TRUE(window.isEnabled());
    }
};

TEST_F(SaveFailure, AFolderThatIsAFileCannotHoldTheNewFile) {
    Write("plain", test::Text("a file, not a folder"));
    const QString path = Path("plain/anim.zn");
    Save(path);
    ExpectErrorReport("Cannot create file " + path + ".");
}

TEST_F(SaveFailure, AReadOnlyFolderRefusesTheFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    const QString path = Path("locked/anim.zn");
    Save(path);
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ExpectErrorReport("Cannot create file " + path + ".");
    EXPECT_TRUE(QDir(Path("locked")).isEmpty());
}

// A write that fails part-way (a full disk), made with a cap on file size
// that binds root too.
TEST_F(SaveFailure, AFailedWriteKeepsTheOldFileByteForByte) {
    const QString path = Write("kept.zn", test::Text("the old file"));
    const Bytes before = Read(path);

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit cap{16, old.rlim_max};  // far less than any ZN file
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cap), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    Save(path);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);

    ExpectErrorReport(QString::fromLocal8Bit(std::strerror(EFBIG)) + ": " + path + ".");
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"kept.zn"})) << "no partial file is left";
}

// A reader's lock keeps a hard-linked file from being rewritten: the save
// gives up within seconds, and meanwhile the window keeps painting.
TEST_F(SaveFailure, AFileAnotherProgramHoldsIsLeftWholeWhileTheWindowPaints) {
    const QString path = Write("held.zn", test::Text("the old file"));
    ASSERT_EQ(::link(qPrintable(path), qPrintable(Path("alias.zn"))), 0);
    const Fd reader(::open(qPrintable(path), O_RDONLY | O_CLOEXEC));
    struct flock shared{};
    shared.l_type = F_RDLCK;
    ASSERT_EQ(::fcntl(reader.get(), F_OFD_SETLK, &shared), 0);
    int busyPaints = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &window, [&] {
        window.repaint();
        busyPaints += services.busy && !window.isEnabled();
    });
    ticks.start(50);

    Save(path);
    EXPECT_GT(busyPaints, 0);
    ExpectErrorReport("The file is in use by another program and was left as it was: " + path + ".");
    EXPECT_EQ(Read(path), test::Text("the old file"));
}

// Open names the copy a save cut short left of a torn file and offers it;
// taken, the copy opens, and saving over the file recovers it.
TEST_F(FileCommands, ATornFileOffersItsRecoveryCopy) {
    MakeSomeAnimation();
    const WindowState before = State();
    const QString torn = Write("torn.zn", test::Truncated(TwoFrameFile(), 40));
    const std::string copyName = RecoveryCopyName(*IdentityOf(AT_FDCWD, torn.toStdString()), 1, "torn.zn");
    const QString copy = Write(QString::fromStdString(copyName), EncodeZNFile(Animation({kBlueRgb})));

    Open(torn);
    EXPECT_EQ(State(), before) << "the offer was declined";
    services.answer = true;
    Open(torn);
    ASSERT_EQ(services.questions.size(), 2u);
    EXPECT_EQ(services.questions[1].caption, QStringLiteral("Error"));
    EXPECT_EQ(services.questions[1].text, kCannotOpen + "\n\nA save of this file was cut short and left a recovery "
                                                        "copy of it:\n" + copy + "\n\nOpen the recovery copy?");
    EXPECT_TRUE(services.messages.empty());
    EXPECT_EQ(Pixel(5, 5), kBlueRgb);
    ExpectIdleAfterwards();

    window.Document().title = window.Document().authorName = "x";
    window.Document().categoryIndex = 1;
    Save(window.SaveDialog1.fileName);
    EXPECT_EQ(Read(torn), EncodeZNFile(window.Document()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"torn.zn"}));
}

}  // namespace

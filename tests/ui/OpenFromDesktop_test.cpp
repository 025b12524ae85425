// Files reach the editor from the desktop too: named on the command line,
// or dropped on the main window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

#include "FakeServices.h"
#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "ui/CommandLine.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

namespace {

using Action = TEditorCommandLine::Action;

struct CommandLineCase {
    QStringList arguments;
    Action action;
    QString file;
    QStringList ignored;
};

TEST(EditorCommandLine, NamesOneFileToOpen) {
    const CommandLineCase cases[] = {
        {{}, Action::Run, {}, {}},
        {{"walk.zn"}, Action::Run, "walk.zn", {}},
        {{"a.zn", "b.ani", "c.zn"}, Action::Run, "a.zn", {"b.ani", "c.zn"}},
        {{"--", "-odd.zn"}, Action::Run, "-odd.zn", {}},
        {{"-"}, Action::Run, "-", {}},
        {{"--bogus", "a.zn"}, Action::Wrong, "a.zn", {}},
        {{"a.zn", "--version"}, Action::Version, "a.zn", {}},
        {{"-platform", "offscreen", "--help"}, Action::Help, "offscreen", {}},
        {{"--", "--help"}, Action::Run, "--help", {}},
    };
    for (const CommandLineCase& c : cases) {
        const TEditorCommandLine parsed = ParseEditorCommandLine(c.arguments);
        const std::string words = c.arguments.join(u' ').toStdString();
        EXPECT_EQ(parsed.action, c.action) << words;
        EXPECT_EQ(parsed.file, c.file) << words;
        EXPECT_EQ(parsed.ignored, c.ignored) << words;
    }
    EXPECT_EQ(IgnoredFilesText(ParseEditorCommandLine({"a.zn", "b.ani", "c.zn"})),
              QStringLiteral("zintra-editor: opens one file at a time; ignored: b.ani, c.zn\n"));
    EXPECT_EQ(IgnoredFilesText(ParseEditorCommandLine({"a.zn"})), QString());
}

class OpenFromDesktop : public ::testing::Test {
protected:
    test::FakeServices services;
    TFrmMain window{services};
    TFrmInformation information{window};
    TFrmPreview preview{window.Document(), &window};
    QTemporaryDir dir;

    void SetUp() override {
        window.SetWindows(&information, &preview);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QString Write(const QString& name, const test::Bytes& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return file.fileName();
    }
    // A ZN file of three frames titled "Dropped", or a cursor of two frames.
    QString Animation(const QString& name) {
        const test::Bytes icon = test::BuildIcon(test::MakeImage(16, 16, [](int, int) { return test::Opaque({255, 0, 0}); }));
        return Write(name, name.endsWith(u"ani") ? test::SampleCursor({icon, icon})
                                                 : test::ZNBuilder().currentHeader(3, 3.0, 2, "Dropped").frame(4, icon)
                                                       .frame(5, icon).frame(6, icon).compressed());
    }

    // A drag over the window and, when it is taken, the drop; true when both
    // were accepted as a copy.
    bool Drop(const QList<QUrl>& urls, Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(300, 150);
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(&window, &enter);
        if (!enter.isAccepted()) return false;
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "a dropped file is never moved";
        QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::NoModifier);
        drop.ignore();
        QCoreApplication::sendEvent(&window, &drop);
        QCoreApplication::processEvents();
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }
};

TEST_F(OpenFromDesktop, CommandLineFileOpensOnceTheEventLoopRuns) {
    window.OpenSoon(Animation("walk.zn"));
    EXPECT_EQ(window.Document().Count(), 1) << "not while start-up is still running";
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Document().Count(), 3);
    EXPECT_EQ(window.Document().title, "Dropped");
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("4"));
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(OpenFromDesktop, DroppedAnimationsOpen) {
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(Animation("walk.ZN"))}));
    EXPECT_EQ(window.Document().title, "Dropped");
    EXPECT_TRUE(Drop({QUrl::fromLocalFile(Animation("spin.ani"))}));
    EXPECT_EQ(window.Document().Count(), 2);
    EXPECT_FALSE(window.Edit5->acceptDrops()) << "a drop on the rate box reaches the window";
}

TEST_F(OpenFromDesktop, OtherDropsAreRefused) {
    const QString walk = Animation("walk.zn");
    const struct {
        const char* what;
        QList<QUrl> urls;
        Qt::DropActions offered;
    } cases[] = {
        {"another extension", {QUrl::fromLocalFile(Write("notes.txt", test::Text("x")))}, Qt::CopyAction},
        {"two files", {QUrl::fromLocalFile(walk), QUrl::fromLocalFile(walk)}, Qt::CopyAction},
        {"no local file", {QUrl(QStringLiteral("https://example.org/walk.zn"))}, Qt::CopyAction},
        {"nothing", {}, Qt::CopyAction},
        {"a move only", {QUrl::fromLocalFile(walk)}, Qt::MoveAction},
    };
    for (const auto& c : cases) EXPECT_FALSE(Drop(c.urls, c.offered)) << c.what;
    EXPECT_EQ(window.Document().Count(), 1);
}

TEST_F(OpenFromDesktop, NoDropWhileADialogIsOpen) {
    const QUrl walk = QUrl::fromLocalFile(Animation("walk.zn"));
    bool droppedDuringPreview = true;
    services.whileModal = [&](QDialog&) { droppedDuringPreview = Drop({walk}); };
    QTest::mouseClick(window.FlatSpeedButton9, Qt::LeftButton);
    EXPECT_FALSE(droppedDuringPreview);

    window.Document().title = window.Document().authorName = "x";  // so the dialog may close
    QTest::mouseClick(window.FlatSpeedButton6, Qt::LeftButton);  // the modeless information dialog
    EXPECT_FALSE(Drop({walk}));
    ASSERT_TRUE(information.close());
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_TRUE(Drop({walk})) << "taken again once the dialogs are closed";
}

}  // namespace

// The tray's reads on their worker thread: whatever a read throws arrives
// as the file's error in words, and a file asked for while it is being read
// is read once more, with only the newest result delivered.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>
#include <map>

#include "formats/Errors.h"
#include "tray/TrayLoader.h"

namespace {

// Asks for the files in turn and runs the event loop until every read is
// done; returns what was delivered, in order.
std::vector<LoadResult> LoadAll(TrayLoader& loader, const QStringList& paths) {
    std::vector<LoadResult> results;
    const auto connection =
        QObject::connect(&loader, &TrayLoader::loaded, [&](const LoadResult& result) { results.push_back(result); });
    for (const QString& path : paths) loader.load(path);
    const QDeadlineTimer deadline(10'000);
    while (!loader.isIdle() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QObject::disconnect(connection);
    return results;
}

TEST(TrayLoader, WhateverAReadThrowsIsTheFilesErrorInWords) {
    const std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[] { throw EReadError(messages::kStreamRead); }, "Stream read error"},
        {[] { throw EReadError(messages::kStreamRead, "over the read's budget"); }, "over the read's budget"},
        {[] { throw std::bad_alloc(); }, "Out of system resources"},
        {[] { throw std::runtime_error("vector too long"); }, "vector too long"},
        {[] { throw 1; }, "it could not be read"},
    };
    for (const auto& [fail, error] : cases) {
        TrayLoader loader([&fail](const QString&) -> TrayAnimation {
            fail();
            return {};
        });
        const auto results = LoadAll(loader, {"a.zn"});
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].animation);
        EXPECT_EQ(results[0].error, error);
    }
}

TEST(TrayLoader, AFileAskedForWhileBeingReadIsReadOnceMoreAndOnlyTheNewestDelivered) {
    // Touched by one worker at a time, and read here only once it is idle.
    std::map<QString, int> reads;
    QThread* thread = nullptr;
    TrayLoader loader([&](const QString& path) {
        thread = QThread::currentThread();
        TrayAnimation animation;
        animation.title = QString::number(++reads[path]);
        return animation;
    });
    const auto results = LoadAll(loader, {"a.zn", "a.zn", "a.zn", "b.zn", "a.zn"});
    EXPECT_EQ(reads, (std::map<QString, int>{{"a.zn", 2}, {"b.zn", 1}}));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].path, "b.zn");
    EXPECT_EQ(results[1].path, "a.zn");
    EXPECT_EQ(results[1].animation->title, "2");
    EXPECT_NE(thread, QThread::currentThread());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

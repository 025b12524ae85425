#include "ui/Application.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>
#include <stdexcept>

#include "FakeServices.h"
#include "formats/Errors.h"

namespace {

// An object whose event handling fails, as a command or a timer tick might.
class Failing : public QObject {
public:
    explicit Failing(std::function<void()> fail) : m_fail(std::move(fail)) {}
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) m_fail();
        return QObject::event(event);
    }

private:
    std::function<void()> m_fail;
};

class ApplicationErrorReport : public ::testing::Test {
protected:
    test::FakeServices services;
    TApplication& application = *static_cast<TApplication*>(qApp);

    void SetUp() override { application.setServices(&services); }
    void TearDown() override { application.setServices(nullptr); }

    void Deliver(std::function<void()> fail) {
        Failing target(std::move(fail));
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&target, &event);
    }
};

TEST_F(ApplicationErrorReport, EditorErrorReachingTheEventLoopIsReported) {
    Deliver([] { throw EFCreateError(messages::CannotCreate("/no/such/dir/a.zn")); });
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Zintra Editor"));
    EXPECT_EQ(services.messages[0].text, QStringLiteral("Cannot create file /no/such/dir/a.zn."));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Error);
}

TEST_F(ApplicationErrorReport, AnyStandardErrorIsReported) {
    Deliver([] { throw std::out_of_range("Index out of range"); });
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("Index out of range."));
}

TEST_F(ApplicationErrorReport, EventsWithoutErrorsShowNothing) {
    Deliver([] {});
    EXPECT_TRUE(services.messages.empty());
}

}  // namespace

#include "gui/widgets/ErrorReporting.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vorlith {
namespace {

TEST(ErrorReporting, AnEscapedErrorIsShownAndTheWindowGoesOn) {
    auto* app = VorlithApplication::Instance();
    ASSERT_NE(app, nullptr);
    std::vector<ErrorReport> shown;
    app->Reporter().SetPresenter([&](const ErrorReport& report) { shown.push_back(report); });

    QWidget window;
    auto* failing = new QPushButton(QStringLiteral("Fail"), &window);
    failing->setObjectName(QStringLiteral("btnFail"));
    auto* working = new QPushButton(QStringLiteral("Work"), &window);
    working->move(0, 40);
    int worked = 0;
    QObject::connect(failing, &QPushButton::clicked, &window,
                     [] { throw std::runtime_error("Cannot open file \"x.txt\". Permission denied"); });
    QObject::connect(working, &QPushButton::clicked, &window, [&] { ++worked; });
    window.show();

    QTest::mouseClick(failing, Qt::LeftButton);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Message, QStringLiteral("Cannot open file \"x.txt\". Permission denied"));
    EXPECT_TRUE(shown[0].Details.contains(QStringLiteral("btnFail")));
    EXPECT_TRUE(shown[0].Details.contains(QStringLiteral("runtime_error")));

    QTest::mouseClick(working, Qt::LeftButton);
    QTest::mouseClick(failing, Qt::LeftButton);
    EXPECT_EQ(worked, 1);
    EXPECT_EQ(shown.size(), 2u);
    app->Reporter().SetPresenter(nullptr);
}

TEST(ErrorReporting, DescribesErrorsThatAreNoStandardException) {
    ErrorReport report;
    try {
        throw 42;
    } catch (...) {
        report = ErrorReporter::Describe(std::current_exception(), QStringLiteral("test"));
    }
    EXPECT_FALSE(report.Message.isEmpty());
    EXPECT_TRUE(report.Details.contains(QStringLiteral("unknown exception")));
}

} // namespace
} // namespace vorlith

#include "branding/WebPages.h"

#include "platform/OpenInBrowser.h"
#include "support/BrandingFixture.h"

namespace vorlith {
namespace {

using test::BrandingTest;
using test::FakeShell;

struct CommandCase {
    const char* command;
    const char* program;
};

class RegisteredCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RegisteredCommand, GivesTheTextBetweenTheFirstTwoQuotes) {
    EXPECT_EQ(ProgramPathOfCommand(GetParam().command), GetParam().program);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegisteredCommand,
    ::testing::Values(CommandCase{"\"C:\\Program Files\\Browser\\browser.exe\" -nohome \"%1\"",
                                  "C:\\Program Files\\Browser\\browser.exe"},
                      CommandCase{"\"/usr/bin/xdg-open\" \"%1\"", "/usr/bin/xdg-open"},
                      CommandCase{"C:\\browser.exe %1", ""}, CommandCase{"C:\\browser.exe \"%1", ""},
                      CommandCase{"browser \"first\" \"second\"", "first"}, CommandCase{"\"\"", ""},
                      CommandCase{"", ""}));

TEST(OpenInBrowser, RunsTheRegisteredProgramWithTheAddressAsItsWholeParameterText) {
    FakeShell shell;
    shell.HtmlCommand = "\"C:\\Browser\\b.exe\" -nohome \"%1\"";
    OpenInBrowser(shell, "http://a.example/x y");
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_EQ(shell.Started[0], (FakeShell::Opened{"C:\\Browser\\b.exe", "http://a.example/x y"}));
}

TEST(OpenInBrowser, DoesNothingWithoutARegisteredBrowser) {
    FakeShell shell;
    OpenInBrowser(shell, "http://a.example/");
    EXPECT_TRUE(shell.Started.empty());
}

TEST(OpenInBrowser, ACommandWithoutQuotesRunsAnEmptyProgramPath) {
    FakeShell shell;
    shell.HtmlCommand = "browser.exe %1";
    OpenInBrowser(shell, "http://a.example/");
    ASSERT_EQ(shell.Started.size(), 1u);
    EXPECT_EQ(shell.Started[0], (FakeShell::Opened{"", "http://a.example/"}));
}

TEST_F(BrandingTest, HelpAndMakeMoneyOpenTheMakersPages) {
    shell.HtmlCommand = "\"/usr/bin/browser\" \"%1\"";
    OpenHelp(ws());
    OpenMakeMoney(ws());
    ws().AffiliateID = "77";
    OpenMakeMoney(ws());
    const std::string site = ws().Endpoints.MakerSiteBase;
    EXPECT_EQ(shell.Started, (std::vector<FakeShell::Opened>{{"/usr/bin/browser", site + "/help/"},
                                                             {"/usr/bin/browser", site + "/"},
                                                             {"/usr/bin/browser", site + "/77"}}));
}

TEST_F(BrandingTest, LinkLabelsUseTheShellsOpenAlsoWithAnEmptyAddress) {
    shell.HtmlCommand = "\"/usr/bin/browser\" \"%1\"";
    OpenLink(ws(), "http://link.example/");
    OpenLink(ws(), "");
    EXPECT_EQ(shell.Started, (std::vector<FakeShell::Opened>{{"http://link.example/", ""}, {"", ""}}));
    EXPECT_TRUE(ui.Messages.empty());
}

// No registered opener, or one that could not start: the address is named. An empty link is not.
class NoOpener : public BrandingTest,
                 public ::testing::WithParamInterface<std::tuple<const char*, bool, const char*>> {};

TEST_P(NoOpener, AnAddressNothingCouldOpenIsNamed) {
    const auto [command, starts, address] = GetParam();
    shell.HtmlCommand = command;
    shell.Starts = starts;
    const std::string help = ws().Endpoints.MakerSiteBase + "/help/";
    if (!starts || !*command)
        ui.AnswerMessage(std::string(NoOpenerText) + (*address ? std::string(address) : help));
    if (*address)
        OpenLink(ws(), address);
    else
        OpenHelp(ws());
    EXPECT_TRUE(ui.ScriptDone());
    EXPECT_EQ(ui.Messages.size(), !starts || !*command ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, NoOpener,
                         ::testing::Values(std::tuple{"", true, ""}, std::tuple{"\"/usr/bin/b\" \"%1\"", false, ""},
                                           std::tuple{"", false, "http://l.example/"},
                                           std::tuple{"\"/usr/bin/b\" \"%1\"", true, ""}));

TEST_F(BrandingTest, WithoutAShellNothingIsStarted) {
    ws().Shell = nullptr;
    OpenHelp(ws());
    OpenLink(ws(), "http://link.example/");
    EXPECT_TRUE(shell.Started.empty());
}

TEST(SystemShell, NamesTheDesktopOpenerInTheRegisteredForm) {
    SystemShell shell;
    const std::string command = shell.HtmlOpenCommand();
    if (command.empty())
        GTEST_SKIP() << "no xdg-open on this machine";
    EXPECT_TRUE(command.starts_with("\"/")) << command;
    EXPECT_TRUE(command.ends_with("xdg-open\" \"%1\"")) << command;
    EXPECT_TRUE(ProgramPathOfCommand(command).ends_with("/xdg-open"));
}

} // namespace
} // namespace vorlith

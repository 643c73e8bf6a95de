// The command-line runner vantrel-basic, run as a real program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/test_locales.h"

namespace vantrel {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class VantrelBasicTest : public ::testing::Test {
 protected:
  // Runs the program with `arguments` (shell words) and `input` on its
  // standard input.
  // `environment` ("NAME=value ...") goes before the command.
  Outcome Run(const std::string& arguments, const std::string& input = "",
              const std::string& environment = "") {
    dir_.Write("stdin.txt", input);
    std::string command = environment + "'" + VANTREL_BASIC_PROGRAM + "' " + arguments + " <'" +
                          dir_.File("stdin.txt") + "' >'" + dir_.File("stdout.txt") + "' 2>'" +
                          dir_.File("stderr.txt") + "'";
    int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = dir_.Read("stdout.txt");
    outcome.err = dir_.Read("stderr.txt");
    return outcome;
  }
  std::string Script(const std::string& name, const std::string& text) {
    return "'" + dir_.Write(name, text) + "'";
  }

  test::TempDir dir_;
};

// vantrel-basic reads and prints dates as the gateway does, in the locale
// of the environment: under cs_CZ the short date is "%-d.%-m.%Y", which
// printed "d.m.2026" and read dates year first.
TEST_F(VantrelBasicTest, DatesFollowTheLocaleOfTheEnvironment) {
  const std::string locales = test::TestLocaleFolder({"cs_CZ.UTF-8"});
  if (locales.empty()) GTEST_SKIP() << "localedef cannot make the test locales";
  const std::string script = Script("dates.bas",
                                    "echo(DateToStr(EncodeDate(2026, 5, 3)))\r\n"
                                    "echo(StrToDate(\"3.5.2026\") = EncodeDate(2026, 5, 3))\r\n");
  Outcome outcome = Run(script, "", "LC_ALL= LC_TIME= LANG=cs_CZ.UTF-8 LOCPATH='" + locales + "' ");
  EXPECT_EQ(outcome.out, "3.5.2026\nTrue\n") << outcome.err;
}

TEST_F(VantrelBasicTest, SuccessfulRunEchoesLinesAndExitsZero) {
  Outcome outcome = Run(Script("ok.bas", "echo(\"hi\")\r\necho(1 + 2)\r\n"));
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "hi\n3\n");
  EXPECT_EQ(outcome.err, "");
}

TEST_F(VantrelBasicTest, CompileErrorGoesToStandardErrorWithExitOne) {
  Outcome outcome = Run(Script("bad.bas", "echo(\"never\")\r\nx = (\r\n"));
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_NE(outcome.err.find("Syntax error.\nSource position: "), std::string::npos) << outcome.err;
}

TEST_F(VantrelBasicTest, RuntimeErrorKeepsEarlierOutputAndExitsTwo) {
  Outcome outcome = Run(Script("fail.bas", "echo(\"before\")\r\ndim a\r\na = 5\r\necho(a[1])\r\n"));
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "before\n");
  EXPECT_NE(outcome.err.find("RUNTIME ERROR\n"), std::string::npos) << outcome.err;
}

TEST_F(VantrelBasicTest, CheckOnlyCompiles) {
  Outcome outcome = Run("--check " + Script("fail.bas", "dim a\r\na = 5\r\necho(a[1])\r\n"));
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(Run("--check " + Script("bad.bas", "x = (")).status, 1);
}

TEST_F(VantrelBasicTest, ListPrintsTheInstructionsWithoutRunning) {
  Outcome outcome = Run("--list " + Script("list.bas", "x = 1\r\necho(x)\r\n"));
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out.rfind("     0 GlobalPrepare", 0), 0u) << outcome.out;
  EXPECT_NE(outcome.out.find("StoreVarInteger  A=1 X=1"), std::string::npos) << outcome.out;
  EXPECT_EQ(outcome.out.find("\n1\n"), std::string::npos) << "the script must not run";
}

TEST_F(VantrelBasicTest, DashReadsTheProgramFromStandardInput) {
  Outcome outcome = Run("-", "echo(\"from stdin\")\n");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "from stdin\n");
}

TEST_F(VantrelBasicTest, SavedCodeRunsWithoutItsSourceAndBrokenCodeExitsOne) {
  const std::string script =
      Script("sq.bas", "function sq(x)\r\n  sq = x * x\r\nend function\r\necho(sq(7))\r\n");
  Outcome save = Run("--save '" + dir_.File("sq.bcu") + "' " + script);
  EXPECT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out, "") << "saving must not run the script";
  Outcome load = Run("--load '" + dir_.File("sq.bcu") + "'");
  EXPECT_EQ(load.status, 0) << load.err;
  EXPECT_EQ(load.out, "49\n");

  dir_.Write("cut.bcu", dir_.Read("sq.bcu").substr(0, 80));
  Outcome cut = Run("--load '" + dir_.File("cut.bcu") + "'");
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err.rfind("INTERNAL ERROR\nUnable to read stream (", 0), 0u) << cut.err;
  EXPECT_EQ(Run("--save '" + dir_.File("no/such/dir.bcu") + "' " + script).status, 73);
}

TEST_F(VantrelBasicTest, PageCompileErrorIsReportedAsTheGatewayLogsIt) {
  const std::string page = Script("bad.vpg", "<% x = 1 %><% nosuch(x) %>");
  Outcome outcome = Run("--page " + page);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "Unknown method or routine: 'nosuch': line 2 col 2\n x = 1 \n>>> nosuch(x) \n"
            "echo (\"\")\n");
  outcome = Run("--page --list " + page);
  EXPECT_EQ(outcome.out, " x = 1 \n nosuch(x) \necho (\"\")\n");
  EXPECT_EQ(Run("--page --load " + page).status, 64);
}

// Found by the page-translation fuzzer (reduced by hand): lines "tryC",
// each read as a try block left open before it is read as a call, nested
// in the one before. It took seconds to compile, doubling with every line.
TEST_F(VantrelBasicTest, PageOfGluedTryLinesFailsAsTheGatewayWouldAtOnce) {
  const std::string page =
      std::string(VANTREL_FUZZ_REGRESSIONS) + "/page_translation_fuzz/glued_try_nest_reduced";
  Outcome outcome = Run("--page '" + page + "'");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err.rfind("Unknown method or routine: 'tryC': line 3 col 12\n", 0), 0u)
      << outcome.err;
}

TEST_F(VantrelBasicTest, HelpUsageAndMissingFilesHaveTheirOwnStatus) {
  Outcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: vantrel-basic"), std::string::npos);
  EXPECT_EQ(Run("").status, 64);
  EXPECT_EQ(Run("--bogus x").status, 64);
  Outcome missing = Run("'" + dir_.File("absent.bas") + "'");
  EXPECT_EQ(missing.status, 66);
  EXPECT_NE(missing.err, "");
}

}  // namespace
}  // namespace vantrel

// The MIME table: its two lists, their sources and the fallbacks.
#include "http/mime_table.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

class MimeTableTest : public ::testing::Test {
 protected:
  std::string TypesFile(const std::string& text) { return dir_.Write("mime.types", text); }
  std::string GlobsFile(const std::string& text) { return dir_.Write("globs2", text); }

  test::TempDir dir_;
};

TEST_F(MimeTableTest, TypesFileWinsOverGlobsAndExtensionsIgnoreCase) {
  MimeTable table(TypesFile("# comment\ntext/html\thtml htm\napplication/x-a  a\n"),
                  GlobsFile("50:text/x-b:*.b\n50:text/x-html:*.html\n"));
  EXPECT_EQ(table.GetFileMIMEType("/web/INDEX.HTML"), "text/html");
  EXPECT_EQ(table.GetFileMIMEType("x.htm"), "text/html");
  EXPECT_EQ(table.GetFileMIMEType("x.b"), "text/x-b");
  EXPECT_EQ(table.GetFileMIMEType("x.a"), "application/x-a");
}

TEST_F(MimeTableTest, HeaviestGlobWinsAndOnlyPlainExtensionGlobsCount) {
  MimeTable table(dir_.File("missing"),
                  GlobsFile("# weight:type:glob\n80:text/x-c:*.c\n50:text/x-c++:*.C:cs\n"
                            "50:text/x-make:Makefile\n50:text/x-wild:*.[ab]\n"));
  EXPECT_EQ(table.GetFileMIMEType("m.c"), "text/x-c");
  EXPECT_EQ(table.GetFileMIMEType("Makefile"), "application/octet-stream");
  EXPECT_EQ(table.GetFileMIMEType("x.[ab]"), "application/octet-stream");
}

TEST_F(MimeTableTest, NamesWithoutKnownExtensionGetOctetStream) {
  MimeTable table(TypesFile("text/plain txt\n"), GlobsFile(""));
  EXPECT_EQ(table.GetFileMIMEType("README"), "application/octet-stream");
  EXPECT_EQ(table.GetFileMIMEType("dir.d/README"), "application/octet-stream");
  EXPECT_EQ(table.GetFileMIMEType("x.unknownext"), "application/octet-stream");
  EXPECT_EQ(table.GetFileMIMEType("dir.d\\notes.TXT"), "text/plain");
}

TEST_F(MimeTableTest, WithoutEitherFileCommonWebTypesStillResolve) {
  MimeTable table(dir_.File("none1"), dir_.File("none2"));
  EXPECT_EQ(table.GetFileMIMEType("index.html"), "text/html");
  EXPECT_EQ(table.GetFileMIMEType("logo.png"), "image/png");
  EXPECT_EQ(table.GetFileMIMEType("x.zzz"), "application/octet-stream");
}

TEST_F(MimeTableTest, FillMergesWithoutClearing) {
  const std::string types = TypesFile("text/x-one one\n");
  MimeTable table(types, dir_.File("none"));
  table.AddMimeType(".Mine", "text/x-mine");
  TypesFile("text/x-two two\ntext/x-new one\n");
  table.Fill();
  EXPECT_EQ(table.GetFileMIMEType("a.one"), "text/x-new");
  EXPECT_EQ(table.GetFileMIMEType("a.two"), "text/x-two");
  EXPECT_EQ(table.GetFileMIMEType("a.mine"), "text/x-mine");
}

TEST_F(MimeTableTest, MissesDoNotRereadTheFilesAtEveryLookup) {
  MimeTable table(TypesFile("text/plain txt\n"), GlobsFile(""));
  TypesFile("text/plain txt\ntext/x-new new\n");
  EXPECT_EQ(table.GetFileMIMEType("a.new"), "application/octet-stream");
  table.Fill();
  EXPECT_EQ(table.GetFileMIMEType("a.new"), "text/x-new");
}

TEST_F(MimeTableTest, SystemTableKnowsHtml) {
  MimeTable table;
  EXPECT_EQ(table.GetFileMIMEType("index.html"), "text/html");
}

}  // namespace
}  // namespace vantrel

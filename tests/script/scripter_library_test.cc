// Libraries of a scripter: names, the global registry, attaching and
// detaching, and the search for script-file libraries.
#include "script/scripter/scripter_library.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/exception.h"
#include "script/machine/virtual_machine.h"
#include "script/scripter/basic_scripter.h"
#include "script/scripter/scripter_library_options.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

class GreetLibrary : public ScripterLibrary {
 public:
  using ScripterLibrary::ScripterLibrary;

  void Init() override {
    entry_ = &Scripter().RegisterHostClass(&kClassInfo);
    method_ = entry_->RegisterMethod("Greet", 0, false, HostHandler::Of<&GreetLibrary::Greet>(this),
                                     nullptr, vkString);
  }
  void Finalize() override { entry_->DeleteMethod(method_); }
  void Greet(VirtualMachine& machine) { machine.SetResult(Variant("hello")); }

  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;

 private:
  HostClass* entry_ = nullptr;
  HostMethod* method_ = nullptr;
};

const ClassInfo GreetLibrary::kClassInfo = {"TGreetLibrary", &ScripterLibrary::kClassInfo, {}};

TEST(LibraryNameTest, LeadingTOfEitherCaseIsDroppedAndOtherNamesStayWhole) {
  EXPECT_EQ(ScripterLibrary::LibraryName("TGreetLibrary"), "GreetLibrary");
  EXPECT_EQ(ScripterLibrary::LibraryName("tools"), "ools");
  EXPECT_EQ(ScripterLibrary::LibraryName("WebScripter"), "WebScripter");
  EXPECT_EQ(ScripterLibrary::LibraryName(""), "");
  EXPECT_EQ(LibraryClassOf<GreetLibrary>().LibraryName(), "GreetLibrary");
}

TEST(AttachLibraryTest, AttachingTwiceGivesTheSameInstanceAndOneNameMethod) {
  BasicScripter scripter;
  ScripterLibrary& first = scripter.AttachLibrary(LibraryClassOf<GreetLibrary>(), true);
  ScripterLibrary& second = scripter.AttachLibrary(LibraryClassOf<GreetLibrary>(), false);
  EXPECT_EQ(&first, &second);
  int name_methods = 0;
  for (int i = 0; i < scripter.InternalClass().MethodCount(); ++i) {
    if (scripter.InternalClass().Method(i).Name == "GreetLibrary") ++name_methods;
  }
  EXPECT_EQ(name_methods, 1);
  EXPECT_EQ(scripter.DefaultInstances().At(0).Instance, &scripter.Internal())
      << "the internal object stays the first default instance";
  const int last = scripter.DefaultInstances().Count() - 1;
  EXPECT_EQ(scripter.DefaultInstances().At(last).Instance, &first);
}

TEST(AttachLibraryTest, ScriptsReachTheLibraryByItsNameAndItsMembersUnqualified) {
  BasicScripter scripter;
  scripter.AttachLibrary(LibraryClassOf<GreetLibrary>(), true);
  StringList source;
  source.SetText("main = GreetLibrary.Greet() & \" \" & greet()");
  scripter.SetSourceCode(source);
  EXPECT_EQ(scripter.Execute().ToString(), "hello hello");
}

TEST(AttachLibraryTest, DetachingRemovesTheNameMethodTheMembersAndTheDefaultInstance) {
  BasicScripter scripter;
  ScripterLibrary& library = scripter.AttachLibrary(LibraryClassOf<GreetLibrary>(), true);
  HostClass* entry = scripter.FindHostClass("TGreetLibrary");
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry->FindMethod("greet"), nullptr);
  int instances = scripter.DefaultInstances().Count();
  scripter.DetachLibrary(library);
  EXPECT_EQ(entry->FindMethod("Greet"), nullptr);
  EXPECT_EQ(scripter.InternalClass().FindMethod("GreetLibrary"), nullptr);
  EXPECT_EQ(scripter.DefaultInstances().Count(), instances - 1);
  EXPECT_EQ(scripter.FindLibrary("GreetLibrary"), nullptr);
}

TEST(UseLibraryTest, UnknownNameWithoutScriptFilesIsNotFound) {
  BasicScripter scripter;
  try {
    scripter.UseLibrary("NoSuchLib", true);
    FAIL() << "expected an error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Library 'NoSuchLib' not found");
  }
}

TEST(UseLibraryTest, RegisteredLibraryIsFoundByNameInAnyLetterCase) {
  RegisterLibraryClass(LibraryClassOf<GreetLibrary>(), /*explicit_only=*/true);
  BasicScripter scripter;
  EXPECT_EQ(scripter.FindLibrary("GreetLibrary"), nullptr)
      << "explicit-only: not attached at start";
  int instances = scripter.DefaultInstances().Count();
  scripter.UseLibrary("greetlibrary", false);
  ASSERT_NE(scripter.FindLibrary("GreetLibrary"), nullptr);
  EXPECT_EQ(scripter.DefaultInstances().Count(), instances) << "imports adds no default instance";
}

// Scripters made on several threads read the registry while it is written.
TEST(LibraryRegistryTest, RegisteringWhileScriptersAreMadeIsSafe) {
  std::vector<std::thread> threads;
  threads.emplace_back([] {
    for (int i = 0; i < 20; ++i) RegisterLibraryClass(LibraryClassOf<GreetLibrary>(), true);
  });
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 20; ++i) {
        BasicScripter scripter;
        EXPECT_NE(scripter.FindHostClass("InternalObject"), nullptr);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  int count = 0;
  for (const LibraryListItem& item : LibraryList()) {
    if (item.Library == &LibraryClassOf<GreetLibrary>()) ++count;
  }
  EXPECT_EQ(count, 1);
}

class LibrarySearchTest : public ::testing::Test {
 protected:
  ScripterLibraryOptions Options(std::initializer_list<std::string> search_path) {
    ScripterLibraryOptions options;
    options.SearchPath = StringList(search_path);
    options.SourceFileExt = ".bsc";
    options.CompiledFileExt = ".bcu";
    options.UseScriptFiles = true;
    return options;
  }
  test::TempDir dir_;
};

TEST_F(LibrarySearchTest, AppDirIsExpandedWhateverItsLetterCase) {
  std::string path = dir_.Write("lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib", Options({"$(appdir)"}), dir_.Path() + "/"), path);
  EXPECT_EQ(FindLibraryFile("lib", Options({"$(AppDir)"}), dir_.Path() + "/"), path);
  EXPECT_EQ(FindLibraryFile("lib", Options({"$(CURDIR)"}), dir_.Path() + "/"), "");
}

TEST_F(LibrarySearchTest, SeparatorIsAddedOnlyWhereMissing) {
  std::string plain = dir_.Write("a/lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/a"}), ""), plain);
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/a/"}), ""), plain);
  // A drive-like entry ending in ":" is joined to the name as it stands.
  std::string drive = dir_.Write("b/x:lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/b/x:"}), ""), drive);
}

TEST_F(LibrarySearchTest, BlankEntriesAndEmptySegmentsAreSkipped) {
  std::string path = dir_.Write("lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib", Options({"", "   ", ";;" + dir_.Path() + ";"}), ""), path);
  EXPECT_EQ(FindLibraryFile("lib", Options({"", " "}), ""), "");
}

TEST_F(LibrarySearchTest, CompiledFileWinsInOneDirectoryAndEarlierDirectoryWinsOverall) {
  std::string first_source = dir_.Write("one/lib.bsc", "");
  dir_.Write("two/lib.bcu", "");
  std::string both_compiled = dir_.Write("three/lib.bcu", "");
  dir_.Write("three/lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/three"}), ""), both_compiled);
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/one", dir_.Path() + "/two"}), ""),
            first_source);
  EXPECT_EQ(FindLibraryFile("lib", Options({dir_.Path() + "/one;" + dir_.Path() + "/three"}), ""),
            first_source);
}

TEST_F(LibrarySearchTest, ExtensionOfTheNameIsReplacedAndDirectoriesAreNoFiles) {
  std::string path = dir_.Write("lib.bsc", "");
  EXPECT_EQ(FindLibraryFile("lib.txt", Options({dir_.Path()}), ""), path);
  dir_.Write("dirlib.bcu/inner", "");
  EXPECT_EQ(FindLibraryFile("dirlib", Options({dir_.Path()}), ""), "");
}

}  // namespace
}  // namespace vantrel

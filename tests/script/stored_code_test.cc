// The stored form of compiled code: saving a script's code, loading it into
// another scripter and running it there without compiling.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_list.h"
#include "script/errors/script_errors.h"
#include "script/scripter/basic_scripter.h"
#include "script/scripter/scripter_library.h"
#include "tests/script/compile_test_context.h"
#include "tests/script/golden_files.h"
#include "tests/script/library_test_scripter.h"
#include "tests/support/temp_dir.h"

namespace vantrel::test {
namespace {

// The members of the default instance "Output" (compile_test_context.h) as
// a library, so that a scripter offers what the golden scripts call.
class OutputLibrary : public ScripterLibrary {
 public:
  explicit OutputLibrary(CustomScripter& scripter) : ScripterLibrary(scripter) {}
  void Init() override {
    host_.Register(Scripter().RegisterHostClass(&kClassInfo), Scripter().Classes());
  }
  const ClassInfo& ClassType() const override { return kClassInfo; }
  static const ClassInfo kClassInfo;
  std::string& Output() { return host_.Output(); }

 private:
  TestHost host_;
};

inline const ClassInfo OutputLibrary::kClassInfo = {"TOutput", &ScripterLibrary::kClassInfo, {}};

// A Basic scripter registered the same way every time it is made: the
// built-in libraries (VBScript unless left out) and Output, attached last,
// so that its echo writes to Output().
class StoredScripter : private BuiltInLibrariesRegistered, public BasicScripter {
 public:
  explicit StoredScripter(bool with_vbscript = true) {
    if (with_vbscript) AttachLibrary(VBScriptLibraryClassRef(), /*as_default=*/true);
    output_ = &static_cast<OutputLibrary&>(
        AttachLibrary(LibraryClassOf<OutputLibrary>("Output"), /*as_default=*/true));
  }

  // Compiles `source` and returns its stored form.
  std::string Save(std::string_view source) {
    StringList lines;
    lines.SetText(source);
    SetSourceCode(lines);
    Compile();
    return Stored();
  }
  std::string Stored() const {
    std::string stream;
    DefaultScript().SaveCode(stream);
    return stream;
  }
  // Runs the default script; returns what it echoed, followed by "!" and
  // the message of an error.
  std::string Run() {
    output_->Output().clear();
    try {
      Execute();
    } catch (const SilentError&) {
    } catch (const Exception& error) {
      output_->Output() += "!" + WithLineFeeds(error.Message()) + "\n";
    }
    return output_->Output();
  }

 private:
  OutputLibrary* output_;
};

// The message of the ScriptInternalError that loading `stream` raises; the
// script is left not compiled.
std::string LoadFailure(StoredScripter& scripter, std::string_view stream) {
  try {
    scripter.DefaultScript().LoadCode(stream);
  } catch (const ScriptInternalError& error) {
    EXPECT_FALSE(scripter.Compiled());
    return error.Message();
  }
  ADD_FAILURE() << "loaded";
  return {};
}

// "golden/NAME" and "library_golden/NAME" for every script that is meant
// to compile.
std::vector<std::string> RunnableGoldenScripts() {
  std::vector<std::string> scripts;
  for (const char* folder : {"golden", "library_golden"}) {
    for (const std::string& name : GoldenNames(GoldenFolder(folder))) {
      if (std::filesystem::exists(GoldenFolder(folder) / (name + ".out"))) {
        scripts.push_back(std::string(folder) + "/" + name);
      }
    }
  }
  return scripts;
}

class StoredGoldenTest : public ::testing::TestWithParam<std::string> {};

// Loading must give back exactly what was saved, and running must neither
// compile (the loading scripter has no source) nor change the stored fields.
TEST_P(StoredGoldenTest, LoadedCodeRunsLikeTheCompiledScriptAndSavesUnchanged) {
  const std::filesystem::path base = GoldenFolder("") / GetParam();
  std::string stream;
  std::string compiled_run;  // What the script gives compiled from source.
  TempDir temp;             // The file scripts' folder, as the golden runner gives it.
  try {
    StoredScripter compiler;
    compiler.RegisterConstant("TempFolder", Variant(temp.Path()));
    stream = compiler.Save(ReadGoldenFile(base.string() + ".bas"));
    compiled_run = compiler.Run();
  } catch (const CompileError& error) {
    GTEST_SKIP() << "runs only in the compiler's test context: " << error.Message();
  }
  StoredScripter loader;
  loader.RegisterConstant("TempFolder", Variant(temp.Path()));
  loader.DefaultScript().LoadCode(stream);
  ASSERT_TRUE(loader.Compiled());
  EXPECT_EQ(loader.Stored(), stream);
  EXPECT_EQ(loader.Run(), compiled_run);
  EXPECT_EQ(loader.Stored(), stream) << "saving code that ran";
}

INSTANTIATE_TEST_SUITE_P(Golden, StoredGoldenTest, ::testing::ValuesIn(RunnableGoldenScripts()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           std::string name = param_info.param;
                           name[name.find('/')] = '_';
                           return name;
                         });

// A script without code: the header and the script information alone.
constexpr char kEmptyProgram[] =
    "Vantrel Script Code File\x1A"
    "\x04\0\0"
    "\0\0\0\0"  // class references
    "\0\0\0\0"  // used libraries
    "\x29\0\0\0"
    "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
    "TPF0\x0A"
    "ScriptInfo\x02"
    "SI\x08"
    "Routines\x0E\0\x07"
    "Globals\x0E\0"
    "\0\0";
const std::string_view kEmptyProgramBytes(kEmptyProgram, sizeof kEmptyProgram - 1);

TEST(StoredCodeTest, EmptyProgramIsStoredIn109BytesAndReadBackAsCompiledPCode) {
  StoredScripter scripter;
  scripter.SetSaveCompiledCode(true);
  ASSERT_EQ(kEmptyProgramBytes.size(), 109u);
  EXPECT_EQ(scripter.Stored(), kEmptyProgramBytes);
  std::string property;
  EXPECT_FALSE(scripter.WritePCode(property)) << "not compiled: nothing to store";

  const std::string pcode = std::string("\x6D\0\0\0", 4) + std::string(kEmptyProgramBytes);
  scripter.ReadPCode(pcode);
  EXPECT_TRUE(scripter.Compiled());
  EXPECT_EQ(scripter.CodeBuffer(), kEmptyProgramBytes);
  EXPECT_TRUE(scripter.WritePCode(property));
  EXPECT_EQ(property, pcode);
  EXPECT_TRUE(scripter.Execute().IsNull());
}

TEST(StoredCodeTest, SignatureAndVersionAreCheckedBeforeAnythingElse) {
  StoredScripter scripter;
  std::string stream(kEmptyProgramBytes.substr(0, 26));
  stream[25] = 3;
  EXPECT_EQ(LoadFailure(scripter, stream),
            "INTERNAL ERROR\r\n3 not is a valid executable file version, expected 4");
  EXPECT_EQ(LoadFailure(scripter, "Vantrel Script Code Fil"),
            "INTERNAL ERROR\r\nInvalid executable file signature");
}

TEST(StoredCodeTest, OneStrayByteAfterTheLastRecordIsIgnoredTwoAreNot) {
  StoredScripter scripter;
  const std::string stream = scripter.Save("echo(1)\r\n");
  scripter.DefaultScript().LoadCode(stream + "x");
  EXPECT_EQ(scripter.Run(), "1\n");
  EXPECT_EQ(
      LoadFailure(scripter, stream + "xy").rfind("INTERNAL ERROR\r\nUnable to read stream (", 0),
      0u);
}

TEST(StoredCodeTest, TruncatedOrCorruptStreamRaisesInternalErrorAndLeavesScriptNotCompiled) {
  StoredScripter scripter(/*with_vbscript=*/false);
  // Something of every part: a used library, a class reference, routines,
  // variables, globals and instructions with texts.
  const std::string stream = scripter.Save(
      "uses VBScript\r\ndim total, one\r\nfunction add(byref a, b)\r\n  add = a + b\r\nend "
      "function\r\n"
      "one = 1\r\ntotal = add(one, 2)\r\necho(NewPart().Size & \"x\")\r\n");
  // A cut after a whole instruction record (and one stray byte) is a
  // shorter program; every other cut is refused.
  const auto int32_at = [&stream](size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<uint8_t>(stream[at + i]);
    return static_cast<size_t>(value);
  };
  size_t record = 68 + 12 * int32_at(28) + 66 * int32_at(32) + int32_at(36);
  std::set<size_t> record_ends{record};
  while (record < stream.size()) record_ends.insert(record += 4 + int32_at(record));
  for (size_t size = 0; size < stream.size(); ++size) {
    scripter.DefaultScript().LoadCode(stream);
    const std::string_view cut = std::string_view(stream).substr(0, size);
    if (record_ends.count(size) + record_ends.count(size - 1) > 0) {
      scripter.DefaultScript().LoadCode(cut);
    } else {
      LoadFailure(scripter, cut);
    }
  }
  std::string huge_record = stream;
  huge_record.replace(huge_record.size() - 28, 4, "\xF0\xFF\xFF\x7F", 4);
  EXPECT_NE(LoadFailure(scripter, huge_record).find("Unable to read stream ("), std::string::npos);

  std::string unknown_class = stream;
  unknown_class.replace(68, 4, "\xFF\x7F\0\0", 4);
  EXPECT_EQ(
      LoadFailure(scripter, unknown_class),
      "INTERNAL ERROR\r\nError loading implicit class reference.\r\nNo class has index 32767");
}

TEST(StoredCodeTest, LoadingRegistersImplicitClassesAndResolvesUsedLibraries) {
  const std::string stream =
      StoredScripter(/*with_vbscript=*/false).Save("uses VBScript\r\necho(NewPart().Size)\r\n");
  StoredScripter loader(/*with_vbscript=*/false);
  ASSERT_EQ(loader.FindHostClass("TPart"), nullptr);
  loader.DefaultScript().LoadCode(stream);
  EXPECT_NE(loader.FindHostClass("TPart"), nullptr);
  EXPECT_NE(loader.FindLibrary("VBScript"), nullptr);
  EXPECT_EQ(loader.Run(), "12\n");
}

struct Reloader {
  void Reload(VirtualMachine&) {
    try {
      script->LoadCode(stream);
    } catch (const ScripterFatalError& error) {
      refusal = error.Message();
    }
  }
  Script* script;
  std::string stream;
  std::string refusal;
};

TEST(StoredCodeTest, LoadingIntoTheRunningScriptIsRefused) {
  StoredScripter scripter;
  Reloader reloader{&scripter.DefaultScript(), std::string(kEmptyProgramBytes), {}};
  scripter.InternalClass().RegisterMethod(
      "reload", 0, false, HostHandler::Of<&Reloader::Reload>(&reloader), nullptr, vkNone);
  scripter.Save("echo(1)\r\nreload()\r\necho(2)\r\n");
  EXPECT_EQ(scripter.Run(), "1\n2\n");
  EXPECT_EQ(reloader.refusal, "Cannot load code from stream while script is running.");
}

TEST(StoredCodeTest, CompiledLibraryFileIsLoadedInsteadOfItsSource) {
  TempDir dir;
  dir.Write("calc.bcu",
            StoredScripter().Save("function twice(x)\r\n  twice = 2 * x\r\nend function\r\n"));
  dir.Write("calc.bsc", "function twice(x)\r\n  twice = 3 * x\r\nend function\r\n");
  StoredScripter scripter;
  scripter.LibOptions().SearchPath = StringList{dir.Path()};
  scripter.LibOptions().UseScriptFiles = true;
  scripter.Save("uses calc\r\necho(twice(21))\r\n");
  EXPECT_EQ(scripter.Run(), "42\n");
}

}  // namespace
}  // namespace vantrel::test

// ByteBuffer and FileStream.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "base/file_stream.h"
#include "http/byte_buffer.h"
#include "http/net_errors.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

void Fill(ByteBuffer& buffer, const std::string& text) {
  buffer.Write(text.data(), static_cast<int64_t>(text.size()));
}

TEST(ByteBufferTest, RemovingMoreThanHeldRaisesAndKeepsTheContents) {
  ByteBuffer buffer;
  Fill(buffer, "abc");
  try {
    buffer.Remove(4);
    FAIL() << "removed more than the buffer held";
  } catch (const NotEnoughDataInBufferError& error) {
    EXPECT_EQ(error.Message(), "Not enough data in buffer.");
  }
  EXPECT_EQ(buffer.View(), "abc");
}

TEST(ByteBufferTest, RemovingMovesTheRestToTheFront) {
  ByteBuffer buffer;
  Fill(buffer, "abcdef");
  buffer.Remove(0);
  EXPECT_EQ(buffer.View(), "abcdef");
  buffer.Seek(4);  // At "e".
  buffer.Remove(2);
  EXPECT_EQ(buffer.View(), "cdef");
  char next = 0;
  ASSERT_EQ(buffer.Read(&next, 1), 1);
  EXPECT_EQ(next, 'e');  // The position still points at the same byte.
  buffer.Remove(buffer.Size());
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(buffer.Position(), 0);
  buffer.Append("z", 1);
  EXPECT_EQ(buffer.View(), "z");
}

TEST(FileStreamTest, OpenFailureNamesThePathAndTheReason) {
  test::TempDir dir;
  const std::string missing = dir.File("missing.txt");
  try {
    FileStream stream(missing);
    FAIL() << "opened a missing file";
  } catch (const FileOpenError& error) {
    EXPECT_EQ(error.Message(), "Cannot open file \"" + missing + "\". No such file or directory");
  }
  EXPECT_THROW(FileStream stream(dir.Path()), FileOpenError);
}

// A caller that has looked itself spares the stream its own look at the
// path, not the check of what was opened: a name that became a FIFO or a
// directory in between still raises, at once.
TEST(FileStreamTest, PathCheckedByTheCallerStillOpensOnlyARegularFile) {
  test::TempDir dir;
  EXPECT_EQ(FileStream(dir.Write("plain.txt", "abc"), PathCheck::kByCaller).OpenedSize(), 3);
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(FileStream(fifo, PathCheck::kByCaller), FileOpenError);
  EXPECT_THROW(FileStream(dir.Path(), PathCheck::kByCaller), FileOpenError);
  EXPECT_THROW(FileStream(dir.File("gone"), PathCheck::kByCaller), FileOpenError);
}

TEST(FileStreamTest, FollowsAFileThatAnotherWriterExtends) {
  test::TempDir dir;
  const std::string path = dir.Write("growing.txt", "abc");
  FileStream stream(path);
  {
    std::ofstream writer(path, std::ios::app);
    writer << "def";
  }
  EXPECT_EQ(stream.Size(), 6);
  char bytes[16] = {};
  EXPECT_EQ(stream.Read(bytes, sizeof bytes), 6);
  EXPECT_STREQ(bytes, "abcdef");
  EXPECT_EQ(stream.Read(bytes, sizeof bytes), 0);
  EXPECT_THROW(stream.Write("x", 1), StreamError);
}

}  // namespace
}  // namespace vantrel

// Script pages run from their kept compiled programs: what a page shows must
// be what compiling its file now would show, whatever was kept.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/compiled_page_cache.h"
#include "app/gateway.h"
#include "script/machine/script_info.h"
#include "tests/app/served_gateway_test.h"

namespace vantrel {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class CompiledPageTest : public test::ServedGatewayTest {
 protected:
  static std::string Body(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "<no header>" : answer.substr(end + 4);
  }

  int KeptPages() { return gateway_->PageRunner().CompiledPages().Count(); }
};

// The second request runs the kept program; its globals start empty again
// and the named values are the new request's.
TEST_F(CompiledPageTest, KeptPageStartsAfreshWithTheNewRequestsValues) {
  dir_.Write("web/count.vpg", "<% dim n\r\nn = n + 1 %><%= n %>:<%= peerPort %>");
  Start(test::Config(port_));
  std::vector<std::string> bodies;
  for (int i = 0; i < 2; ++i) {
    test::TestClient client;
    ASSERT_TRUE(client.Connect(port_));
    client.Send("GET /count.vpg HTTP/1.1\r\n\r\n");
    bodies.push_back(Body(client.ReadUntilClose()));
    EXPECT_EQ(bodies.back(), "1\r\n:\r\n" + std::to_string(client.LocalPort()) + "\r\n\r\n");
  }
  EXPECT_NE(bodies[0], bodies[1]);
  EXPECT_EQ(KeptPages(), 1);
}

// Each run starts the page's own program afresh, whichever page ran last,
// whether it was kept, and whether its last run failed.
TEST_F(CompiledPageTest, PagesTakingTurnsEachRunTheirOwnProgramFromAFreshStart) {
  dir_.Write("web/a.vpg", "<% dim n\r\nn = n + 1 %>a<%= n %>");
  dir_.Write("web/b.vpg", "<% dim n\r\nn = n + 10 %>b<%= n %>");
  dir_.Write("web/fails.vpg", "<% dim n\r\nn = n + 100 %><%= n %><% x = 1 / 0 %>");
  Start(test::Config(port_));
  const std::string a = "a\r\n1\r\n\r\n";
  const std::string b = "b\r\n10\r\n\r\n";
  for (const char* page : {"a", "a", "b", "b", "a", "b", "a", "a", "fails", "fails", "a"}) {
    const std::string body = Body(Get(std::string("/") + page + ".vpg"));
    if (page[0] == 'f') {
      EXPECT_THAT(body, StartsWith("100\r\nScript engine error: "));
    } else {
      EXPECT_EQ(body, page[0] == 'a' ? a : b) << page;
    }
  }
  EXPECT_EQ(KeptPages(), 3);
}

// A page rewritten within one tick of the file clock, keeping its size,
// looks unchanged to anything that trusts size and time stamp.
TEST_F(CompiledPageTest, PageRewrittenInPlaceWithTheSameSizeAndTimeStampRunsItsNewText) {
  const std::string path = dir_.Write("web/page.vpg", "<%= \"old\" %>");
  Start(test::Config(port_));
  EXPECT_EQ(Body(Get("/page.vpg")), "old\r\n\r\n");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  dir_.Write("web/page.vpg", "<%= \"new\" %>");
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  ASSERT_EQ(after.st_size, before.st_size);
  ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

  EXPECT_EQ(Body(Get("/page.vpg")), "new\r\n\r\n");
  EXPECT_EQ(KeptPages(), 1);
}

// A broken page is never kept: each request compiles it and logs the error,
// as the first did. A failure at run time is reported alike from the kept
// program, with the same source position.
TEST_F(CompiledPageTest, CompileErrorsAreLoggedOnEveryRequestAndRunTimeErrorsStayTheSame) {
  dir_.Write("web/bad.vpg", "<% nosuch(1) %>");
  dir_.Write("web/fails.vpg", "a<% x = 1 / 0 %>");
  Start(test::Config(port_));
  const auto compile_errors = [this] {
    int count = 0;
    for (const std::string& line : LogMessages()) {
      if (line.starts_with("Unknown method or routine: 'nosuch'")) ++count;
    }
    return count;
  };
  for (int i = 1; i <= 3; ++i) {
    EXPECT_THAT(Body(Get("/bad.vpg")), StartsWith("Script engine error: Unknown method"));
    EXPECT_EQ(compile_errors(), i);
  }
  const std::string failed = Body(Get("/fails.vpg"));
  EXPECT_THAT(failed, HasSubstr("Division by zero"));
  EXPECT_EQ(Body(Get("/fails.vpg")), failed);
  EXPECT_EQ(KeptPages(), 1);
}

CompiledCode CodeOf(int instructions) {
  CompiledCode code;
  code.Instructions.resize(static_cast<std::size_t>(instructions));
  return code;
}

// Every page of a large web folder compiled once must not take the memory:
// the kept programs stay within the bound, the least recently used going
// first, and a page larger than the bound is not kept at all.
TEST(CompiledPageCacheTest, KeptProgramsStayWithinTheBoundLeastRecentlyUsedFirst) {
  const CompileConditions now{7, false, false, false};
  CompiledPageCache cache(4 * CodeOf(100).Instructions.size() * sizeof(Instruction));
  for (const char* path : {"/a", "/b", "/c"}) cache.Store(path, path, {}, CodeOf(100), now);
  ASSERT_EQ(cache.Count(), 3);
  ASSERT_NE(cache.Find("/a", "/a", now), nullptr);  // "/b" is now the least recently used.
  cache.Store("/d", "/d", {}, CodeOf(100), now);
  EXPECT_EQ(cache.Find("/b", "/b", now), nullptr);
  EXPECT_NE(cache.Find("/a", "/a", now), nullptr);
  EXPECT_LE(cache.Bytes(), cache.MaxBytes());

  cache.Store("/huge", "/huge", {}, CodeOf(1000), now);
  EXPECT_EQ(cache.Find("/huge", "/huge", now), nullptr);
  EXPECT_LE(cache.Bytes(), cache.MaxBytes());

  // Other bytes, or other compile conditions: not used, and dropped.
  EXPECT_EQ(cache.Find("/a", "/a ", now), nullptr);
  EXPECT_EQ(cache.Find("/a", "/a", now), nullptr);
  EXPECT_NE(cache.Find("/c", "/c", now), nullptr);
  EXPECT_EQ(cache.Find("/c", "/c", CompileConditions{8, false, false, false}), nullptr);
  EXPECT_EQ(cache.Count(), 1);
}

}  // namespace
}  // namespace vantrel

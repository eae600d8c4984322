// The names of a list file: one a line, taken whole but for trailing blanks and carriage
// returns, up to a limit.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "textio/textio.h"

namespace corvane {
namespace {

class StringInput : public InputFile {
 public:
  explicit StringInput(std::string text) : text_(std::move(text)) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size() - pos_);
    std::memcpy(buffer, text_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  int error() const override { return 0; }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

TEST(TextioNames, ListNamesUpToALimit) {
  struct Case {
    std::string list;
    std::size_t most;
    std::vector<std::string> names;
    ListEnd end;
  };
  const Case cases[] = {
      {"", 3, {}, ListEnd::end},
      {"a.rwl  \r\n b c.rwl\n\n", 3, {"a.rwl", " b c.rwl", ""}, ListEnd::end},
      {"a\nb\nc", 3, {"a", "b", "c"}, ListEnd::end},
      {"a\nb\nc\n", 2, {"a", "b"}, ListEnd::more},
      {"a\n", 0, {}, ListEnd::more},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    LineFile file(std::make_unique<StringInput>(c.list));
    std::vector<std::string> names;
    EXPECT_EQ(read_names(file, c.most, names), c.end);
    EXPECT_EQ(names, c.names);
  }
}

TEST(TextioNames, TrimmedForms) {
  EXPECT_EQ(trim_blanks("  ID 1  "), "ID 1");
  EXPECT_EQ(trim_blanks("    "), "");
  EXPECT_EQ(whole_name(" x.rwl \r "), " x.rwl");
  EXPECT_EQ(trim_name("x.rwl \r "), "x.rwl \r");
}

}  // namespace
}  // namespace corvane

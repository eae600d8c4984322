// The command line's parsing: options, operands, abbreviations, and every usage error.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include "driver/command_run.h"
#include "driver/program.h"
#include "memory_console.h"
#include "textio/textio.h"

namespace corvane {
namespace {

using Action = CommandLine::Action;

CommandLine parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> v(args);
  return parse_command_line(v);
}

TEST(DriverCommandLine, RunsAndWhatTheyTake) {
  auto cl = parse({"oaks.rwl"});
  EXPECT_EQ(cl.action, Action::run);
  EXPECT_EQ(cl.files, std::vector<std::string>{"oaks.rwl"});
  EXPECT_FALSE(cl.list || cl.report || cl.csv || cl.svg || cl.quiet);
  EXPECT_EQ(cl.layout_choice, 0);

  // Options before, between and after the operands; both argument forms; short clusters.
  cl = parse({"a.rwl", "--csv=out.csv", "b.rwl", "--svg", "p.svg", "-qo", "r.txt", "--crn"});
  EXPECT_EQ(cl.action, Action::run) << cl.error;
  EXPECT_EQ(cl.files, (std::vector<std::string>{"a.rwl", "b.rwl"}));
  EXPECT_EQ(cl.csv, "out.csv");
  EXPECT_EQ(cl.svg, "p.svg");
  EXPECT_EQ(cl.report, "r.txt");
  EXPECT_TRUE(cl.quiet);
  EXPECT_EQ(cl.layout_choice, 2);

  // Unambiguous abbreviations; the last of a repeated option counts.
  cl = parse({"--li", "x.lst", "--rep=one", "--report", "two", "--rr", "--qu", "--sv", "-"});
  EXPECT_EQ(cl.action, Action::run) << cl.error;
  EXPECT_EQ(cl.list, "x.lst");
  EXPECT_EQ(cl.report, "two");
  EXPECT_EQ(cl.layout_choice, 1);
  EXPECT_TRUE(cl.quiet);
  EXPECT_EQ(cl.svg, "-");
  EXPECT_TRUE(cl.files.empty());

  // "--" ends the options; "-" is a file of that name.
  cl = parse({"-q", "--", "-o", "--csv", "-"});
  EXPECT_EQ(cl.action, Action::run) << cl.error;
  EXPECT_EQ(cl.files, (std::vector<std::string>{"-o", "--csv", "-"}));
  EXPECT_FALSE(cl.report || cl.csv);
  cl = parse({"-", "--rrw"});
  EXPECT_EQ(cl.files, std::vector<std::string>{"-"});

  // An option's argument may look like an option.
  cl = parse({"-o", "--csv", "a.rwl"});
  EXPECT_EQ(cl.report, "--csv");
  EXPECT_EQ(cl.files, std::vector<std::string>{"a.rwl"});
}

TEST(DriverCommandLine, HelpAndVersion) {
  EXPECT_EQ(parse({"--help"}).action, Action::help);
  EXPECT_EQ(parse({"-h"}).action, Action::help);
  EXPECT_EQ(parse({"--he"}).action, Action::help);
  EXPECT_EQ(parse({"-V"}).action, Action::version);
  EXPECT_EQ(parse({"--version"}).action, Action::version);
  // They win over the run's own usage errors, not over a bad option.
  EXPECT_EQ(parse({"--rrw", "--crn", "--help"}).action, Action::help);
  EXPECT_EQ(parse({"--list", "l", "f", "-V"}).action, Action::version);
  EXPECT_EQ(parse({"--bogus", "--help"}).action, Action::usage_error);
}

TEST(DriverCommandLine, UsageErrors) {
  const struct {
    std::vector<std::string_view> args;
    std::string_view error;
  } cases[] = {
      {{"--bogus"}, "unrecognized option '--bogus'"},
      {{"--bogus=1", "a"}, "unrecognized option '--bogus'"},
      {{"-x", "a"}, "invalid option -- 'x'"},
      {{"-qz", "a"}, "invalid option -- 'z'"},
      {{"--c", "a"}, "option '--c' is ambiguous; possibilities: '--crn' '--csv' '--check'"},
      {{"a", "--csv"}, "option '--csv' requires an argument"},
      {{"a", "--rep"}, "option '--report' requires an argument"},
      {{"a", "-o"}, "option requires an argument -- 'o'"},
      {{"--quiet=yes", "a"}, "option '--quiet' doesn't allow an argument"},
      {{"--rrw=1", "a"}, "option '--rrw' doesn't allow an argument"},
      {{"-q"}, "no FILE and no --list LIST given"},
      {{"--"}, "no FILE and no --list LIST given"},
      {{"--rrw", "--crn", "a"}, "--rrw and --crn exclude each other"},
      {{"--list", "l.lst", "a", "b"},
       "give FILEs or --list LIST, not both (the first FILE is 'a')"},
      {{"--csv", "-", "--svg", "-", "a"},
       "--csv - and --svg - cannot both write to standard output"},
      {{"-o", "-", "a"}, "the report cannot go to standard output (-o -)"},
      {{"--csv=", "a"}, "an empty name given to --csv"},
      {{"--svg", "", "a"}, "an empty name given to --svg"},
      {{"--list", ""}, "an empty name given to --list"},
      {{"-o", "", "a"}, "an empty name given to -o/--report"},
      // The first problem is the one told.
      {{"-x", "--bogus", "a"}, "invalid option -- 'x'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const CommandLine cl = parse_command_line(c.args);
    EXPECT_EQ(cl.action, Action::usage_error);
    EXPECT_EQ(cl.error, c.error);
  }
}

// The whole program on a console in memory: usage errors go to standard error alone, with the
// usage lines and the pointer to --help, and write nothing else.
TEST(DriverCommandLine, ProgramAnswersWithTexts) {
  const auto run = [](std::initializer_list<std::string_view> args, MemoryConsole& console) {
    const std::vector<std::string_view> v(args);
    return program_main(v, console);
  };
  MemoryConsole bad;
  EXPECT_EQ(run({"--csv"}, bad), 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err,
            "corvane: option '--csv' requires an argument\n"
            "Usage: corvane [OPTIONS] FILE...\n"
            "       corvane [OPTIONS] --list LIST\n"
            "Try 'corvane --help' for more information.\n");
  MemoryConsole help;
  EXPECT_EQ(run({"--help"}, help), 0);
  EXPECT_EQ(help.out, help_text());
  EXPECT_EQ(help.err, "");
  MemoryConsole version;
  EXPECT_EQ(run({"-V"}, version), 0);
  EXPECT_EQ(version.out, version_text());
  EXPECT_TRUE(version.out.starts_with("corvane "));
}

TEST(DriverCommandLine, HelpNamesEveryOptionAndTheExitStatuses) {
  const std::string_view help = help_text();
  for (const std::string_view option :
       {"--list LIST", "--rrw", "--crn", "-o, --report PATH", "--csv PATH", "--svg PATH",
        "-q, --quiet", "-h, --help", "-V, --version", "Exit status:", "  0  ", "  1  ", "  2  "}) {
    EXPECT_NE(help.find(option), std::string_view::npos) << option;
  }
  std::size_t start = 0;
  while (start < help.size()) {
    const std::size_t end = help.find('\n', start);
    EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
    start = end + 1;
  }
}

TEST(DriverCommandLine, NamesAndTheLayoutTheyAskFor) {
  EXPECT_TRUE(names_chronology("pines.crn"));
  EXPECT_TRUE(names_chronology("dir/PINES.CRN"));
  EXPECT_TRUE(names_chronology("a.Crn  \r"));
  EXPECT_FALSE(names_chronology("crn"));
  EXPECT_FALSE(names_chronology("a.crn.rwl"));
  EXPECT_FALSE(names_chronology("acrn"));
  EXPECT_FALSE(names_chronology(""));

  EXPECT_EQ(whole_name("a b.rwl  \r\r"), "a b.rwl");
  EXPECT_EQ(whole_name("  lead"), "  lead");
  EXPECT_EQ(whole_name(" \r "), "");

  const struct {
    std::vector<std::string> names;
    std::int32_t layout;
  } cases[] = {
      {{"a.crn"}, 2},
      {{"a.crn", "B.CRN", "c.Crn"}, 2},
      {{"a.crn", "b.rwl"}, 1},
      {{"a.rwl"}, 1},
      {{"a.crn", "", "  "}, 2},  // blank list lines name no file
      {{""}, 1},
      {{}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(layout_by_names(c.names), c.layout);
  }

  EXPECT_EQ(default_report_name("oaks.rwl"), "oaks.rwl_rec");
  EXPECT_EQ(default_report_name("a.rwl b.rwl"), "a.rwl_rec");
  EXPECT_EQ(default_report_name(" lead.rwl"), "_rec");
  const std::string long_name = "dir/" + std::string(60, 'x') + ".rwl";
  EXPECT_EQ(default_report_name(long_name), long_name + "_rec");  // never cut
}

}  // namespace
}  // namespace corvane

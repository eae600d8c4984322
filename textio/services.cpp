// Console and file services: prompts and answers, lines of files, and the ends of a run (a stop
// with a message, an error report), each handed back to the caller as a value.
#include "textio/services.h"

#include <cerrno>
#include <cstring>

#include "textio/names.h"
#include "textio/text.h"

namespace corvane {

namespace {

bool names_no_file(std::string_view name) {
  return name.empty() || name.find('\0') != std::string_view::npos;
}

// The operation as error reports name it: what was done, the file's unit and its name.
std::string describe(std::string_view operation, int unit, std::string_view name) {
  std::string s(operation);
  s += ", handle ";
  s += std::to_string(unit);
  s += ", file \"";
  s += name;
  s += "\"";
  return s;
}

constexpr std::string_view kPastTheEnd = "Attempt to read past end of file";
constexpr std::string_view kFromTheConsole = "read from the console";

class ConsoleSource : public LineSource {
 public:
  explicit ConsoleSource(Console& c) : c_(c) {}
  std::optional<std::string_view> next_line() override { return c_.read_line(); }

 private:
  Console& c_;
};

std::string error_report(Services::Cause cause, std::string_view condition,
                         std::string_view operation) {
  std::string report = cause == Services::Cause::system
                           ? " *** Run-time error: the operating system reports a failure\n"
                           : " *** Run-time error\n";
  report += "     ";
  report += condition;
  report += "\n     Operation: ";
  report += operation;
  report += "\n";
  return report;
}

}  // namespace

Services::Services(Console& console, FileSystem& files) : console_(console), files_(files) {}

Services::~Services() {
  try {
    end_held_line();
    console_.flush();
  } catch (...) {  // a destructor must not throw; the run is ending with its own report
  }
}

void Services::put_console(std::string_view text) {
  if (text.empty() || ended_) return;
  console_.write(text);
  held_ = text.back() != '\n';
}

void Services::end_held_line() {
  if (!held_) return;
  console_.write("\n");
  held_ = false;
}

void Services::prompt(const Layout& layout, std::span<const Value> values) {
  write_line(kConsole, layout, values);
}

Result<std::string_view> Services::read_answer_text() {
  console_.flush();
  const auto line = console_.read_line();
  if (!line) return fail(Cause::program, kPastTheEnd, kFromTheConsole);
  return *line;
}

ReadResult Services::read_answer(const Layout& layout, std::span<const Var> vars) {
  console_.flush();
  ConsoleSource source(console_);
  return read_layout(source, layout, vars);
}

End Services::unhandled(const ReadResult& read) {
  return fail(Cause::program,
              read.outcome == ReadOutcome::end_of_file ? kPastTheEnd : kIllegalCharacter,
              kFromTheConsole);
}

bool Services::file_exists(std::string_view name) const {
  const std::string_view n = trim_name(name);
  if (names_no_file(n)) return false;
  return files_.exists(std::string(n));
}

template <typename File>
Result<File> Services::open_file(int unit, std::string_view name, std::string_view operation) {
  const std::string n(trim_name(name));
  int error = ENOENT;
  if (!names_no_file(n)) {
    File file = File::open(files_, unit, n, error);
    if (file.is_open()) return file;
  }
  return fail(Cause::system, std::strerror(error), describe(operation, unit, n));
}

Result<ReadFile> Services::open_existing(int unit, std::string_view name) {
  return open_file<ReadFile>(unit, name, "open for reading");
}

Result<WrittenFile> Services::open_for_writing(int unit, std::string_view name) {
  return open_file<WrittenFile>(unit, name, "open for writing");
}

Result<ReadResult> Services::read_line(ReadFile& file, const Layout& layout,
                                       std::span<const Var> vars) {
  const ReadResult r = read_layout(file.lines(), layout, vars);
  if (r.outcome == ReadOutcome::end_of_file) {
    // An end of the file that the caller handles is no read that failed.
    if (const Status read = check_read(file); !read) return read.end();
  }
  return r;
}

End Services::unhandled(const ReadResult& read, ReadFile& file) {
  const End end = fail(Cause::program,
                       read.outcome == ReadOutcome::end_of_file ? kPastTheEnd : kIllegalCharacter,
                       describe("read", file.unit(), file.name()));
  file.close();
  return end;
}

Status Services::check_read(ReadFile& file) {
  const LineFile& in = file.lines();
  if (!in.failed()) return {};
  const End end = fail(Cause::system, std::strerror(in.error_number()),
                       describe("read", file.unit(), file.name()));
  file.close();
  return end;
}

std::optional<std::string_view> Services::read_text(ReadFile& file) {
  return file.lines().next_line();
}

void Services::step_back(ReadFile& file) { file.lines().step_back(); }

void Services::put(Target to, std::string_view text) {
  WrittenFile* file = to.file();
  if (file == nullptr) {
    put_console(text);
    return;
  }
  if (ended_) return;
  file->put(text);
  if (const int e = file->write_error(); e != 0) {
    (void)fail(Cause::system, std::strerror(e), describe("write", file->unit(), file->name()));
  }
}

void Services::write_line(Target to, const Layout& layout, std::span<const Value> values) {
  scratch_.clear();
  render_layout(scratch_, layout, values);
  put(to, scratch_);
}

void Services::write_free_form(Target to, std::optional<std::string_view> text) {
  scratch_.clear();
  render_free_form(scratch_, text);
  put(to, scratch_);
}

void Services::close_file(ReadFile& file) { file.close(); }

Status Services::close_file(WrittenFile& file) {
  if (!file.is_open()) return {};
  const int unit = file.unit();
  const std::string name = file.name();
  const bool write_failed = file.write_error() != 0;
  if (const int e = file.commit(); e != 0) {
    return fail(Cause::system, std::strerror(e),
                describe(write_failed ? "write" : "close", unit, name));
  }
  return {};
}

End Services::close_at_end(WrittenFile& file, End end) {
  if (!file.is_open()) return end;
  if (end.is_failure()) {
    // What was written before the failure stays; a failure to keep it is not reported.
    (void)file.commit();
    return end;
  }
  if (const Status closed = close_file(file); !closed) return closed.end();
  return end;
}

void Services::wait_for_return(std::string_view text) {
  write_free_form(kConsole, text);
  console_.flush();
  (void)console_.read_line();  // the end of input counts as Return
}

End Services::stop_run(std::string_view message, End end) {
  end_held_line();
  if (!(message.size() == 1 && message[0] == ' ') && !message.empty()) {
    put_console(message);
    put_console("\n");
  }
  console_.flush();
  if (!ended_) ended_ = end;
  return *ended_;
}

End Services::fail(Cause cause, std::string_view condition, std::string_view operation) {
  if (ended_ && ended_->is_failure()) return *ended_;
  end_held_line();
  console_.flush();
  console_.write_error(error_report(cause, condition, operation));
  ended_ = End::failed();
  return *ended_;
}

void ServicesSink::put(std::string_view text) { services_.put(to_, text); }

}  // namespace corvane

// A file system held in memory, for tests, benchmarks and fuzz targets: files, directories,
// devices and symbolic links by name, and failures injected where a test wants them (a read
// that fails after so many bytes, writes that fail after so many bytes, a close or a sync that
// fails, running out of memory at the n-th operation).
#ifndef CORVANE_TESTS_MEMORY_FILES_H
#define CORVANE_TESTS_MEMORY_FILES_H

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "textio/textio.h"

namespace corvane::testing {

class MemoryFiles : public FileSystem {
 public:
  struct Entry {
    NameType type = NameType::regular;
    std::string content;  ///< a file's bytes, or a link's target
  };

  // --- what the file system holds ---------------------------------------------------------
  void add_file(std::string_view name, std::string_view content) {
    entries_[normal(name)] = Entry{NameType::regular, std::string(content)};
  }
  void add_directory(std::string_view name) {
    entries_[normal(name)] = Entry{NameType::directory, {}};
  }
  /// A device: what is written to it vanishes (or fails, with fail_writes_after).
  void add_device(std::string_view name) { entries_[normal(name)] = Entry{NameType::device, {}}; }
  void add_link(std::string_view name, std::string_view target) {
    entries_[normal(name)] = Entry{NameType::link, std::string(target)};
  }
  bool has(std::string_view name) const { return entries_.count(normal(name)) != 0; }
  const std::string& content(std::string_view name) const {
    return entries_.at(normal(name)).content;
  }
  const std::map<std::string, Entry>& entries() const { return entries_; }

  // --- failures -------------------------------------------------------------------------------
  /// Reads of `name` fail once `after` bytes of it have been read.
  void fail_reads_of(std::string_view name, std::size_t after, int error = EIO) {
    read_failure_ = normal(name);
    read_after_ = after;
    read_error_ = error;
  }
  /// Writes fail once `after` bytes have been written to all files together.
  void fail_writes_after(std::size_t after, int error = ENOSPC) {
    write_after_ = after;
    write_error_ = error;
  }
  void fail_closes(int error = EIO) { close_error_ = error; }
  void fail_syncs(int error = EIO) { sync_error_ = error; }
  void fail_creating_beside(int error = EACCES) { create_error_ = error; }
  /// The n-th operation from now on (1 is the next) throws std::bad_alloc.
  void run_out_of_memory_at(long n) { oom_at_ = n; }
  /// True once an injected failure has happened.
  bool failure_happened() const { return failed_; }
  /// Reads hand back at most this many bytes each.
  void read_in_pieces(std::size_t n) { piece_ = n == 0 ? 1 : n; }

  // --- FileSystem -----------------------------------------------------------------------------
  bool exists(const std::string& name) override {
    step();
    const Entry* e = follow(normal(name));
    return e != nullptr;
  }

  NameType type(const std::string& name, bool follow_links) override {
    step();
    const std::string n = normal(name);
    if (!follow_links) {
      const auto it = entries_.find(n);
      return it == entries_.end() ? NameType::absent : it->second.type;
    }
    const Entry* e = follow(n);
    return e == nullptr ? NameType::absent : e->type;
  }

  std::unique_ptr<InputFile> open_input(const std::string& name, int& error) override {
    step();
    const std::string n = final_name(normal(name));
    const auto it = entries_.find(n);
    if (it == entries_.end()) {
      error = ENOENT;
      return nullptr;
    }
    if (it->second.type == NameType::directory) {
      error = EISDIR;
      return nullptr;
    }
    const bool fails = n == read_failure_;
    return std::make_unique<Input>(*this, it->second.content, fails);
  }

  std::unique_ptr<OutputFile> open_output(const std::string& name, int& error) override {
    step();
    const std::string n = final_name(normal(name));
    auto it = entries_.find(n);
    if (it != entries_.end() && it->second.type == NameType::directory) {
      error = EISDIR;
      return nullptr;
    }
    if (it == entries_.end() || it->second.type != NameType::device) {
      entries_[n] = Entry{NameType::regular, {}};
    }
    return std::make_unique<Output>(*this, n);
  }

  std::unique_ptr<OutputFile> create_beside(const std::string& name, std::string& temporary,
                                            int& error) override {
    step();
    if (create_error_ != 0) {
      failed_ = true;
      error = create_error_;
      return nullptr;
    }
    const std::string n = normal(name);
    const std::size_t slash = n.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    temporary = n.substr(0, base) + "." + n.substr(base) + "." + std::to_string(++temporaries_);
    entries_[temporary] = Entry{NameType::regular, {}};
    return std::make_unique<Output>(*this, temporary);
  }

  int rename(const std::string& from, const std::string& to) override {
    step();
    const auto it = entries_.find(normal(from));
    if (it == entries_.end()) return ENOENT;
    Entry moved = std::move(it->second);
    entries_.erase(it);
    entries_[normal(to)] = std::move(moved);
    return 0;
  }

  int remove(const std::string& name) override {
    step();
    return entries_.erase(normal(name)) == 1 ? 0 : ENOENT;
  }

  std::string resolve(const std::string& name) override {
    step();
    std::string path("/");  // built by appending, which keeps g++ 12's -Wrestrict quiet
    path += final_name(normal(name));
    return path;
  }

  bool same_file(const std::string& a, const std::string& b) override {
    step();
    const std::string fa = final_name(normal(a)), fb = final_name(normal(b));
    return entries_.count(fa) != 0 && fa == fb;
  }

 private:
  class Input : public InputFile {
   public:
    Input(MemoryFiles& fs, const std::string& content, bool fails)
        : fs_(fs), content_(content), fails_(fails) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
      fs_.step();
      std::size_t n = std::min({size, content_.size() - pos_, fs_.piece_});
      if (fails_) {
        if (pos_ >= fs_.read_after_) {
          fs_.failed_ = true;
          error_ = fs_.read_error_;
          return -1;
        }
        n = std::min(n, fs_.read_after_ - pos_);
      }
      std::memcpy(buffer, content_.data() + pos_, n);
      pos_ += n;
      return static_cast<std::ptrdiff_t>(n);
    }
    int error() const override { return error_; }

   private:
    MemoryFiles& fs_;
    std::string content_;  // a copy: the file may be replaced while it is read
    bool fails_;
    std::size_t pos_ = 0;
    int error_ = 0;
  };

  class Output : public OutputFile {
   public:
    Output(MemoryFiles& fs, std::string name) : fs_(fs), name_(std::move(name)) {}
    int write(std::string_view text) override {
      fs_.step();
      if (fs_.written_ + text.size() > fs_.write_after_) {
        fs_.failed_ = true;
        return fs_.write_error_;
      }
      fs_.written_ += text.size();
      const auto it = fs_.entries_.find(name_);
      if (it != fs_.entries_.end() && it->second.type == NameType::regular) {
        it->second.content.append(text);
      }
      return 0;
    }
    int sync() override {
      fs_.step();
      if (fs_.sync_error_ != 0) fs_.failed_ = true;
      return fs_.sync_error_;
    }
    int close() override {
      fs_.step();
      if (fs_.close_error_ != 0) fs_.failed_ = true;
      return fs_.close_error_;
    }

   private:
    MemoryFiles& fs_;
    std::string name_;
  };

  static std::string normal(std::string_view name) {
    while (name.starts_with("./")) name.remove_prefix(2);
    return std::string(name);
  }
  // The name after its links are followed (at most 40).
  std::string final_name(std::string n) const {
    for (int i = 0; i < 40; ++i) {
      const auto it = entries_.find(n);
      if (it == entries_.end() || it->second.type != NameType::link) return n;
      n = normal(it->second.content);
    }
    return n;
  }
  const Entry* follow(const std::string& n) const {
    const auto it = entries_.find(final_name(n));
    return it == entries_.end() || it->second.type == NameType::link ? nullptr : &it->second;
  }
  void step() {
    if (oom_at_ > 0 && --oom_at_ == 0) {
      failed_ = true;
      throw std::bad_alloc();
    }
  }

  std::map<std::string, Entry> entries_;
  std::string read_failure_;
  std::size_t read_after_ = 0;
  int read_error_ = 0;
  std::size_t write_after_ = static_cast<std::size_t>(-1);
  std::size_t written_ = 0;
  int write_error_ = 0;
  int close_error_ = 0;
  int sync_error_ = 0;
  int create_error_ = 0;
  long oom_at_ = 0;
  bool failed_ = false;
  std::size_t piece_ = static_cast<std::size_t>(-1);
  long temporaries_ = 0;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_MEMORY_FILES_H

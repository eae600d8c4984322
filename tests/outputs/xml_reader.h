// A strict reader of the XML the tests look at: well-formedness checked (one root, nesting,
// quoted and unique attributes, known entities, UTF-8 text), elements read into a tree.
#ifndef CORVANE_TESTS_OUTPUTS_XML_READER_H
#define CORVANE_TESTS_OUTPUTS_XML_READER_H

#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  std::string text;  ///< the character data directly inside, entities resolved
  std::string full;  ///< the character data of this element and all below, in document order

  /// Every element below this one (not itself) of that name, in document order.
  void find_all(std::string_view element, std::vector<const XmlElement*>& out) const {
    for (const auto& c : children) {
      if (c->name == element) out.push_back(c.get());
      c->find_all(element, out);
    }
  }
  /// The first element below of that id attribute, or null.
  const XmlElement* by_id(std::string_view id) const {
    for (const auto& c : children) {
      const auto it = c->attributes.find("id");
      if (it != c->attributes.end() && it->second == id) return c.get();
      if (const XmlElement* e = c->by_id(id)) return e;
    }
    return nullptr;
  }
  /// The text of this element and every element below, in document order.
  const std::string& all_text() const { return full; }
};

class XmlReader {
 public:
  /// The document's root element, or nothing with `error` saying what is wrong and where.
  std::unique_ptr<XmlElement> read(std::string_view doc) {
    s_ = doc;
    p_ = 0;
    error.clear();
    if (!valid_utf8()) return fail("not UTF-8");
    if (s_.substr(0, 5) == "<?xml") {
      const auto end = s_.find("?>");
      if (end == std::string_view::npos) return fail("unclosed declaration");
      p_ = end + 2;
    }
    skip_misc();
    if (s_.substr(p_, 9) == "<!DOCTYPE") {
      const auto end = s_.find('>', p_);
      if (end == std::string_view::npos) return fail("unclosed DOCTYPE");
      p_ = end + 1;
    }
    skip_misc();
    auto root = element();
    if (!root) return nullptr;
    skip_misc();
    if (p_ != s_.size()) return fail("content after the root element");
    return root;
  }
  std::string error;

 private:
  std::unique_ptr<XmlElement> fail(std::string what) {
    if (error.empty()) error = what + " at byte " + std::to_string(p_);
    return nullptr;
  }
  bool valid_utf8() const {
    for (std::size_t i = 0; i < s_.size();) {
      const auto c = static_cast<unsigned char>(s_[i]);
      std::size_t len = c < 0x80                 ? 1
                        : c >= 0xC2 && c <= 0xDF ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
      if (len == 0 || i + len > s_.size()) return false;
      for (std::size_t k = 1; k < len; ++k) {
        if ((static_cast<unsigned char>(s_[i + k]) & 0xC0) != 0x80) return false;
      }
      if (c < 0x20 && c != '\n' && c != '\r' && c != '\t') return false;
      i += len;
    }
    return true;
  }
  void skip_space() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\t' || s_[p_] == '\r'))
      ++p_;
  }
  void skip_misc() {
    for (;;) {
      skip_space();
      if (s_.substr(p_, 4) == "<!--") {
        const auto end = s_.find("-->", p_);
        p_ = end == std::string_view::npos ? s_.size() : end + 3;
      } else {
        return;
      }
    }
  }
  static bool name_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
           c == '.';
  }
  std::string name() {
    const std::size_t start = p_;
    while (p_ < s_.size() && name_char(s_[p_])) ++p_;
    return std::string(s_.substr(start, p_ - start));
  }
  // Character data up to `stop`, entities resolved; false on a bad entity or a raw '<'.
  bool chars(std::string& out, char stop) {
    while (p_ < s_.size() && s_[p_] != stop) {
      const char c = s_[p_];
      if (c == '<') return false;
      if (c != '&') {
        out.push_back(c);
        ++p_;
        continue;
      }
      const auto semi = s_.find(';', p_);
      if (semi == std::string_view::npos) return false;
      const std::string_view ref = s_.substr(p_ + 1, semi - p_ - 1);
      static const std::map<std::string_view, char> known = {
          {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
      if (const auto it = known.find(ref); it != known.end()) {
        out.push_back(it->second);
      } else if (ref.size() > 1 && ref[0] == '#') {
        out.push_back('?');  // a character reference; its value does not matter here
      } else {
        return false;
      }
      p_ = semi + 1;
    }
    return true;
  }
  std::unique_ptr<XmlElement> element() {
    if (p_ >= s_.size() || s_[p_] != '<') return fail("expected an element");
    ++p_;
    auto e = std::make_unique<XmlElement>();
    e->name = name();
    if (e->name.empty()) return fail("element without a name");
    for (;;) {
      const std::size_t before = p_;
      skip_space();
      if (s_.substr(p_, 2) == "/>") {
        p_ += 2;
        return e;
      }
      if (p_ < s_.size() && s_[p_] == '>') {
        ++p_;
        break;
      }
      if (p_ == before) return fail("no blank before an attribute");
      const std::string attribute = name();
      if (attribute.empty() || s_.substr(p_, 1) != "=") return fail("bad attribute");
      ++p_;
      if (p_ >= s_.size() || (s_[p_] != '"' && s_[p_] != '\'')) return fail("unquoted value");
      const char quote = s_[p_++];
      std::string value;
      if (!chars(value, quote) || p_ >= s_.size()) return fail("bad attribute value");
      ++p_;
      if (!e->attributes.emplace(attribute, value).second) return fail("repeated attribute");
    }
    for (;;) {
      std::string piece;
      if (!chars(piece, '<')) return fail("bad character data");
      e->text += piece;
      e->full += piece;
      if (p_ >= s_.size()) return fail("unclosed element " + e->name);
      if (s_.substr(p_, 4) == "<!--") {
        skip_misc();
        continue;
      }
      if (s_.substr(p_, 2) == "</") {
        p_ += 2;
        if (name() != e->name) return fail("mismatched end tag for " + e->name);
        skip_space();
        if (s_.substr(p_, 1) != ">") return fail("bad end tag");
        ++p_;
        return e;
      }
      auto child = element();
      if (!child) return nullptr;
      e->full += child->full;
      e->children.push_back(std::move(child));
    }
  }

  std::string_view s_;
  std::size_t p_ = 0;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_OUTPUTS_XML_READER_H

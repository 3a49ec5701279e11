// A bounded streaming XML reader over expat for the sheets inside .xlsx and
// .ods files: element names without their prefix, a depth limit, no DTD
// (neither format has one, and a DTD is where entity bombs live).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sheets {

inline constexpr int kMaxXmlDepth = 64;

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `attribute(name)` gives an attribute's value by its local name ("" when absent).
  virtual void Start(std::string_view name,
                     const std::function<std::string_view(std::string_view)>& attribute) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
  // True once the handler has what it needs: the reading stops early.
  virtual bool Done() const { return false; }
};

class XmlReader {
 public:
  explicit XmlReader(XmlHandler& handler);
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // One piece of the document; false when it broke (problem() says why) or
  // when the handler is done (Done()).
  bool Feed(std::string_view piece);
  // The end of the document; false when it broke off.
  bool Finish();
  bool Done() const { return done_; }
  // Russian, "" while fine.
  const std::string& problem() const { return problem_; }

 private:
  struct Parser;
  void Fail(const std::string& why);

  XmlHandler& handler_;
  Parser* parser_;
  int depth_ = 0;
  bool done_ = false;
  std::string problem_;
};

// The local part of "table:table-cell".
std::string_view LocalName(std::string_view name);

}  // namespace sheets

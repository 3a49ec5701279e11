// The expat wrapper: depth and DTD checks, prefixes dropped.
#include "sheets/xmlreader.h"

#include <expat.h>

namespace sheets {

struct XmlReader::Parser {
  XML_Parser expat = nullptr;
  XmlReader* owner = nullptr;
};

namespace {

XmlReader* Owner(void* data) { return static_cast<XmlReader*>(data); }

std::string BrokenAt(XML_Parser expat) {
  return "XML испорчен (строка " + std::to_string(XML_GetCurrentLineNumber(expat)) + ")";
}

}  // namespace

std::string_view LocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

XmlReader::XmlReader(XmlHandler& handler) : handler_(handler), parser_(new Parser) {
  parser_->expat = XML_ParserCreate("UTF-8");
  parser_->owner = this;
  XML_SetUserData(parser_->expat, this);
  XML_SetElementHandler(
      parser_->expat,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        XmlReader* self = Owner(data);
        if (++self->depth_ > kMaxXmlDepth) {
          self->Fail("слишком глубокая вложенность");
          return;
        }
        const auto attribute = [attributes](std::string_view wanted) -> std::string_view {
          for (const XML_Char** a = attributes; a[0] != nullptr; a += 2) {
            if (LocalName(a[0]) == wanted) return a[1];
          }
          return {};
        };
        self->handler_.Start(LocalName(name), attribute);
        if (self->handler_.Done()) {
          self->done_ = true;
          XML_StopParser(self->parser_->expat, XML_FALSE);
        }
      },
      [](void* data, const XML_Char* name) {
        XmlReader* self = Owner(data);
        --self->depth_;
        self->handler_.End(LocalName(name));
        if (self->handler_.Done()) {
          self->done_ = true;
          XML_StopParser(self->parser_->expat, XML_FALSE);
        }
      });
  XML_SetCharacterDataHandler(parser_->expat, [](void* data, const XML_Char* text, int length) {
    Owner(data)->handler_.Text(std::string_view(text, static_cast<size_t>(length)));
  });
  XML_SetStartDoctypeDeclHandler(
      parser_->expat, [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        Owner(data)->Fail("в файле есть DTD, в таблице её не бывает");
      });
}

XmlReader::~XmlReader() {
  XML_ParserFree(parser_->expat);
  delete parser_;
}

void XmlReader::Fail(const std::string& why) {
  if (problem_.empty()) problem_ = why;
  XML_StopParser(parser_->expat, XML_FALSE);
}

bool XmlReader::Feed(std::string_view piece) {
  if (done_ || !problem_.empty()) return false;
  const XML_Status status =
      XML_Parse(parser_->expat, piece.data(), static_cast<int>(piece.size()), XML_FALSE);
  if (status == XML_STATUS_ERROR && problem_.empty() && !done_) {
    Fail(BrokenAt(parser_->expat));
  }
  return problem_.empty() && !done_;
}

bool XmlReader::Finish() {
  if (done_) return true;
  if (!problem_.empty()) return false;
  if (XML_Parse(parser_->expat, "", 0, XML_TRUE) == XML_STATUS_ERROR && problem_.empty() && !done_)
    Fail(BrokenAt(parser_->expat));
  return problem_.empty();
}

}  // namespace sheets

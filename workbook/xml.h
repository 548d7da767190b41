// XML of a package's parts through expat, as events: elements by their
// local name (the prefix Excel or another writer chose does not matter),
// text with CDATA, character references and the five entities resolved.
// A document type declaration (and with it every entity of its own) is
// refused, so no document expands itself; markup-compatibility choices
// are read as their fallback.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::workbook {

// An element's attributes as expat hands them over.
class Attributes {
public:
    explicit Attributes(const char** pairs) : pairs_(pairs) {}
    // The value of the attribute with this local name and no prefix ("r",
    // "t", "s"), or of one with a prefix when qualified ("id" of r:id).
    std::string_view Get(std::string_view local, bool qualified = false) const;

private:
    const char** pairs_;
};

struct XmlEvents {
    std::function<void(std::string_view name, const Attributes& attributes)> start;
    std::function<void(std::string_view name)> end;
    std::function<void(std::string_view text)> text;  // in pieces, as it comes
};

class XmlReader {
public:
    explicit XmlReader(XmlEvents events);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Parses the next piece of the document (last: the end of it). False
    // once the document is refused: error() says why (in English, as the
    // parser does; callers name the part).
    bool Feed(std::string_view piece, bool last);
    const std::string& error() const { return error_; }
    // Where the current event lies in the whole document: its first byte
    // and its length (for a start tag, the tag itself).
    std::uint64_t EventOffset() const;
    std::uint64_t EventLength() const;
    // From a handler: stop parsing, with the reason.
    void Stop(std::string reason);

private:
    static void OnStart(void* self, const char* name, const char** attributes);
    static void OnEnd(void* self, const char* name);
    static void OnText(void* self, const char* text, int length);
    static void OnDoctype(void* self, const char*, const char*, const char*, int);
    static void OnEntity(void* self, const char*, int, const char*, int, const char*, const char*, const char*,
                         const char*);
    bool Hidden(std::string_view prefix, std::string_view local, bool starting);

    XmlEvents events_;
    void* parser_ = nullptr;
    std::string error_;
    int skipped_ = 0;  // depth inside a markup-compatibility choice
    std::vector<std::string> compatibility_;  // prefixes bound to it
};

// Text as element content or an attribute value: & < > " escaped.
void AppendEscapedXml(std::string& out, std::string_view text);

}  // namespace quorvane::workbook

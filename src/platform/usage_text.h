#pragma once
// A command's usage, written once as plain text, and shown two ways: as its
// --help and as its manual page.
//
// The text: first the "Usage:" lines, then paragraphs, then sections, each a
// line ending in ':' followed by indented lines. An indented line is an entry,
// its term and its description apart by two or more blanks, or a paragraph of
// its own when no such gap follows the term.
#include <string>
#include <string_view>

namespace cw {

// The text for a terminal: paragraphs and descriptions wrapped within `width`
// columns, the descriptions of a section in one column.
std::string plainUsage(std::string_view text, int width = 79);

// The same text as a roff manual page of section 1.
std::string manualPage(std::string_view text, std::string_view name, std::string_view summary,
                       std::string_view version);

} // namespace cw

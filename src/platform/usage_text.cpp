#include "platform/usage_text.h"

#include <algorithm>
#include <vector>

namespace cw {

namespace {

// One piece of the text: a usage line, a paragraph, a section heading, or
// an entry (term and description, or a paragraph of a section).
struct Piece {
    enum Kind { Synopsis, Paragraph, Heading, Entry } kind;
    std::string term, body;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::vector<Piece> pieces(std::string_view text) {
    std::vector<Piece> out;
    bool inSynopsis = true, joinParagraph = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (trimmed(line).empty()) {
            inSynopsis = joinParagraph = false;
            continue;
        }
        if (inSynopsis) {
            if (line.starts_with("Usage:")) line.remove_prefix(6);
            out.push_back({Piece::Synopsis, {}, std::string(trimmed(line))});
        } else if (line.front() != ' ' && line.back() == ':') {
            out.push_back({Piece::Heading, {}, std::string(line.substr(0, line.size() - 1))});
            joinParagraph = false;
        } else if (line.front() != ' ') {
            if (joinParagraph) {
                out.back().body += ' ';
                out.back().body += trimmed(line);
            } else {
                out.push_back({Piece::Paragraph, {}, std::string(trimmed(line))});
            }
            joinParagraph = true;
        } else {
            line = trimmed(line);
            const size_t gap = line.find("  ");
            if (gap == std::string_view::npos) out.push_back({Piece::Entry, {}, std::string(line)});
            else out.push_back({Piece::Entry, std::string(line.substr(0, gap)), std::string(trimmed(line.substr(gap)))});
            joinParagraph = false;
        }
    }
    return out;
}

// `words` wrapped at `width`, from `column` on, every further line indented
// by `indent`.
void wrap(std::string& out, std::string_view words, size_t indent, size_t width, size_t column) {
    bool lineEmpty = true;
    while (!(words = trimmed(words)).empty()) {
        const size_t end = std::min(words.find(' '), words.size());
        const std::string_view word = words.substr(0, end);
        words.remove_prefix(end);
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    out += '\n';
}

constexpr size_t kTermColumn = 2, kBodyColumn = 24;

// Roff takes a line starting with a dot or a quote as a request; a minus is
// a hyphen unless escaped, and a backslash starts an escape.
std::string roff(std::string_view s) {
    std::string out;
    if (!s.empty() && (s.front() == '.' || s.front() == '\'')) out += "\\&";
    for (char c : s) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    return out;
}

} // namespace

std::string plainUsage(std::string_view text, int width) {
    std::string out;
    bool firstSynopsis = true;
    for (const Piece& p : pieces(text)) {
        switch (p.kind) {
        case Piece::Synopsis:
            out += firstSynopsis ? "Usage: " : "       ";
            out += p.body + '\n';
            firstSynopsis = false;
            break;
        case Piece::Paragraph:
            out += '\n';
            wrap(out, p.body, 0, size_t(width), 0);
            break;
        case Piece::Heading: out += '\n' + p.body + ":\n"; break;
        case Piece::Entry:
            out.append(kTermColumn, ' ');
            if (p.term.empty()) {
                wrap(out, p.body, kTermColumn, size_t(width), kTermColumn);
                break;
            }
            out += p.term;
            if (kTermColumn + p.term.size() + 2 > kBodyColumn) {
                out += '\n';
                out.append(kBodyColumn, ' ');
            } else {
                out.append(kBodyColumn - kTermColumn - p.term.size(), ' ');
            }
            wrap(out, p.body, kBodyColumn, size_t(width), kBodyColumn);
            break;
        }
    }
    return out;
}

std::string manualPage(std::string_view text, std::string_view name, std::string_view summary,
                       std::string_view version) {
    std::string upper(name);
    for (char& c : upper) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    std::string out = ".TH " + roff(upper) + " 1 \"\" \"" + roff(version) + "\" \"User Commands\"\n";
    out += ".SH NAME\n" + roff(name) + " \\- " + roff(summary) + "\n";
    bool synopsisOpen = false, description = false;
    for (const Piece& p : pieces(text)) {
        if (p.kind != Piece::Synopsis && synopsisOpen) {
            out += ".fi\n";
            synopsisOpen = false;
        }
        switch (p.kind) {
        case Piece::Synopsis:
            if (!synopsisOpen) out += ".SH SYNOPSIS\n.nf\n";
            synopsisOpen = true;
            out += roff(p.body) + '\n';
            break;
        case Piece::Paragraph:
            if (!description) out += ".SH DESCRIPTION\n";
            description = true;
            out += ".PP\n" + roff(p.body) + '\n';
            break;
        case Piece::Heading: {
            std::string heading = p.body;
            for (char& c : heading) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            out += ".SH " + roff(heading) + '\n';
            break;
        }
        case Piece::Entry:
            if (p.term.empty()) out += ".PP\n" + roff(p.body) + '\n';
            else out += ".TP\n.B " + roff(p.term) + '\n' + roff(p.body) + '\n';
            break;
        }
    }
    if (synopsisOpen) out += ".fi\n";
    return out;
}

} // namespace cw

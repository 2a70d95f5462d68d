// Private profile files on POSIX, read and written by the rules of the Windows functions:
// section and key names compare without letter case and with the blanks around them ignored;
// a value (and the caller's default) is read without the blanks around it and without one pair
// of enclosing quotes; lines before the first section header form the section with the empty
// name; lines without '=' are not keys. A line ends at CR LF, LF or a CR alone. A header is
// '[' ... the last ']' of its line; a line with no ']' is no header. A UTF-8 byte-order mark at
// the start is read past, as the Windows functions (under Wine) do, and kept when writing. Writing
// changes only the lines it must and keeps every other line, comment and section exactly as it
// was; new lines end in CR LF as the Windows functions write them.
#include "platform/ProfileFile.h"
#include "platform/AsciiCase.h"
#include "platform/posix/FileText.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr const char* kNewLine = "\r\n";
// Editors such as Notepad may begin a file with it.
constexpr const char* kUtf8Mark = "\xEF\xBB\xBF";

// The byte-order mark that `content` begins with, or "".
std::string markOf(const std::string& content) {
    const std::size_t length = std::strlen(kUtf8Mark);
    return content.compare(0, length, kUtf8Mark) == 0 ? content.substr(0, length) : std::string();
}

struct Line {
    std::string text;   // without its line end
    std::string ending; // "\r\n", "\n", "\r" or empty for a last line without one
};

// Where a section's lines lie: [header, end) in the line list, header == end for the lines
// before the first header (the section with the empty name).
struct SectionSpan {
    std::size_t header;
    std::size_t begin;
    std::size_t end;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string trim(const std::string& text) {
    std::string::size_type first = 0;
    std::string::size_type last = text.size();
    while (first < last && isBlank(text[first])) {
        ++first;
    }
    while (last > first && isBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

std::vector<Line> splitLines(const std::string& content) {
    std::vector<Line> lines;
    std::string::size_type start = 0;
    while (start < content.size()) {
        const std::string::size_type textEnd = content.find_first_of("\r\n", start);
        if (textEnd == std::string::npos) {
            lines.push_back(Line{content.substr(start), ""});
            break;
        }
        const bool crlf = content.compare(textEnd, 2, "\r\n") == 0;
        const std::string::size_type next = textEnd + (crlf ? 2 : 1);
        lines.push_back(
            Line{content.substr(start, textEnd - start), content.substr(textEnd, next - textEnd)});
        start = next;
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string content;
    for (const Line& line : lines) {
        content += line.text + line.ending;
    }
    return content;
}

// The section name of a header line "[name]", or nothing for any other line. The name runs to
// the last ']', so "[a]b]" names "a]b", and what follows that ']' is ignored.
std::optional<std::string> headerName(const std::string& text) {
    const std::string trimmed = trim(text);
    const std::string::size_type close = trimmed.rfind(']');
    if (trimmed.empty() || trimmed[0] != '[' || close == std::string::npos) {
        return std::nullopt;
    }
    return trim(trimmed.substr(1, close - 1));
}

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, const std::string& section) {
    std::size_t firstHeader = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (headerName(lines[i].text)) {
            firstHeader = i;
            break;
        }
    }
    const std::string wanted = trim(section);
    if (wanted.empty()) {
        return SectionSpan{0, 0, firstHeader};
    }
    for (std::size_t i = firstHeader; i < lines.size(); ++i) {
        const std::optional<std::string> name = headerName(lines[i].text);
        if (!name || !sameIgnoringAsciiCase(*name, wanted)) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < lines.size() && !headerName(lines[end].text)) {
            ++end;
        }
        return SectionSpan{i, i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   const std::string& key) {
    const std::string wanted = trim(key);
    for (std::size_t i = span.begin; i < span.end; ++i) {
        const std::string::size_type equals = lines[i].text.find('=');
        if (equals != std::string::npos &&
            sameIgnoringAsciiCase(trim(lines[i].text.substr(0, equals)), wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string withoutQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string valueOfLine(const std::string& text) {
    return withoutQuotes(trim(text.substr(text.find('=') + 1)));
}

bool writable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) != 0 || (info.st_mode & S_IWUSR) != 0;
}

// Inserts a line after the last non-blank line of a section (or at its start).
void insertIntoSection(std::vector<Line>& lines, const SectionSpan& span, Line line) {
    std::size_t at = span.end;
    while (at > span.begin && trim(lines[at - 1].text).empty()) {
        --at;
    }
    if (at > 0 && lines[at - 1].ending.empty()) {
        lines[at - 1].ending = kNewLine;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

} // namespace

std::size_t getProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, char* buffer, std::size_t size,
                             const std::string& path) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    // The default loses its trailing blanks and then its quotes, as the Windows function treats
    // it; leading blanks stay.
    std::string result =
        withoutQuotes(defaultValue.substr(0, defaultValue.find_last_not_of(" \t") + 1));
    if (const std::optional<std::string> content = posix::readWholeFile(path)) {
        const std::vector<Line> lines = splitLines(content->substr(markOf(*content).size()));
        if (const std::optional<SectionSpan> span = findSection(lines, section)) {
            if (const std::optional<std::size_t> at = findKey(lines, *span, key)) {
                result = valueOfLine(lines[*at].text);
            }
        }
    }
    const std::size_t length = std::min(result.size(), size - 1);
    std::memcpy(buffer, result.data(), length);
    buffer[length] = '\0';
    return length;
}

bool writeProfileString(const std::string& section, const std::optional<std::string>& key,
                        const std::optional<std::string>& value, const std::string& path) {
    const std::optional<std::string> content = posix::readWholeFile(path);
    const std::string mark = content ? markOf(*content) : std::string();
    std::vector<Line> lines =
        content ? splitLines(content->substr(mark.size())) : std::vector<Line>();
    const std::optional<SectionSpan> span = findSection(lines, section);

    if (!key || !value) {
        // Deleting what is not there succeeds and leaves the file (or its absence) alone.
        if (!span || (!key && span->header == span->end && span->begin == span->end)) {
            return true;
        }
        if (!key) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(span->header),
                        lines.begin() + static_cast<std::ptrdiff_t>(span->end));
        } else {
            const std::optional<std::size_t> at = findKey(lines, *span, *key);
            if (!at) {
                return true;
            }
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*at));
        }
    } else {
        const std::string keyText = trim(*key);
        if (!span) {
            if (!lines.empty() && lines.back().ending.empty()) {
                lines.back().ending = kNewLine;
            }
            lines.push_back(Line{"[" + section + "]", kNewLine});
            lines.push_back(Line{keyText + "=" + *value, kNewLine});
        } else if (const std::optional<std::size_t> at = findKey(lines, *span, keyText)) {
            Line& line = lines[*at];
            line.text = trim(line.text.substr(0, line.text.find('='))) + "=" + *value;
            if (line.ending.empty()) {
                line.ending = kNewLine;
            }
        } else {
            insertIntoSection(lines, *span, Line{keyText + "=" + *value, kNewLine});
        }
    }
    const std::string changed = mark + joinLines(lines);
    // The same content again leaves the file alone: a run that finds what the last one found
    // writes nothing.
    return writable(path) &&
           ((content && changed == *content) || posix::replaceFile(path, changed) == 0);
}

} // namespace platform

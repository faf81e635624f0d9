#include "graphics/TableFormat.h"

#include "protocol/Hex.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace lumidra::graphics {

namespace {

constexpr std::size_t ValuesPerLine = 16;
constexpr std::string_view Indent = "    ";

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view Blanks = " \t";
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

struct TDbLine {
    std::string_view Label;
    std::vector<std::uint8_t> Values;
};

// The label and the values of a line in DbLine's form; nothing for any other.
std::optional<TDbLine> ParseDbLine(std::string_view line) {
    // A label holds no space, so the first " 0x" starts the values.
    const std::size_t valuesAt = std::min(line.find(" 0x"), line.size());
    std::string_view head = line.substr(0, valuesAt);
    if (!head.ends_with("DB")) return std::nullopt;
    head.remove_suffix(2);
    TDbLine parsed{Trimmed(head), {}};
    if (parsed.Label.find(' ') != std::string_view::npos) return std::nullopt;
    constexpr std::size_t ValueSize = 5;  // " 0xHH"
    for (std::string_view rest = line.substr(valuesAt); !rest.empty();) {
        if (rest.size() < ValueSize || !rest.starts_with(" 0x")) return std::nullopt;
        std::uint8_t value = 0;
        const char* digits = rest.data() + 3;
        if (std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2) return std::nullopt;
        parsed.Values.push_back(value);
        rest.remove_prefix(ValueSize);
        if (rest.empty()) break;
        if (rest.size() == 1 || rest[0] != ',') return std::nullopt;
        rest.remove_prefix(1);
    }
    return parsed;
}

class TCWriter {
public:
    bool IsOpen() const { return open_; }

    void Open(std::string_view name) {
        Close();
        lines_.push_back("const unsigned char " + std::string(name) + "[] = {");
        open_ = true;
    }
    void Add(std::span<const std::uint8_t> values) {
        for (std::uint8_t value : values) {
            if (pending_ == ValuesPerLine) Flush();
            line_ += (pending_ == 0 ? Indent : " ");
            line_ += "0x" + protocol::ByteToHex(value) + ",";
            ++pending_;
        }
    }
    void Close() {
        if (!open_) return;
        Flush();
        lines_.emplace_back("};");
        open_ = false;
    }
    void Comment(std::string_view text) {
        std::string body(text);
        // An early "*/" would end the comment and leave the rest as code.
        for (std::size_t at = body.find("*/"); at != std::string::npos; at = body.find("*/", at))
            body.insert(at + 1, " ");
        Line(std::string(open_ ? Indent : "") + "/* " + body + " */");
    }
    void Line(std::string line) {
        Flush();
        lines_.push_back(std::move(line));
    }
    TTableLines Finish() {
        Close();
        return std::move(lines_);
    }

private:
    void Flush() {
        if (pending_ == 0) return;
        lines_.push_back(std::move(line_));
        line_.clear();
        pending_ = 0;
    }

    TTableLines lines_;
    std::string line_;
    std::size_t pending_ = 0;
    bool open_ = false;
};

}  // namespace

TTableLines CTableLines(const TTableLines& dbLines, std::string_view arrayName) {
    TCWriter c;
    for (const std::string& line : dbLines) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty()) {
            c.Close();
            c.Line("");
        } else if (trimmed.starts_with(';')) {
            c.Comment(Trimmed(trimmed.substr(1)));
        } else if (const std::optional<TDbLine> db = ParseDbLine(line)) {
            if (!db->Label.empty()) {
                c.Open(db->Label);
            } else if (!c.IsOpen()) {
                c.Open(arrayName);
            }
            c.Add(db->Values);
        } else {
            c.Line(line);
        }
    }
    return c.Finish();
}

}  // namespace lumidra::graphics

#include "graphics/Tables.h"

#include "protocol/Hex.h"

#include <algorithm>

namespace lumidra::graphics {

namespace {

constexpr std::size_t ValuesPerLine = 16;
constexpr int StripRows = 12;
constexpr std::string_view NoLabel;

bool BlankStripColumn(const TPicture& picture, int x) {
    for (int y = 0; y < StripRows; ++y) {
        if (picture.IsSet(x, y)) return false;
    }
    return true;
}

// `values` as lines of up to 16, the first one labelled.
void AppendBlock(TTableLines& lines, std::string_view label, std::span<const std::uint8_t> values) {
    for (std::size_t at = 0; at < values.size(); at += ValuesPerLine) {
        lines.push_back(
            DbLine(at == 0 ? label : NoLabel, values.subspan(at, std::min(ValuesPerLine, values.size() - at))));
    }
    lines.emplace_back();
}

}  // namespace

std::string DbLine(std::string_view label, std::span<const std::uint8_t> values) {
    std::string line(label);
    line.resize(std::max<std::size_t>(line.size(), 8), ' ');
    line += "DB";
    for (std::size_t i = 0; i < values.size(); ++i) {
        line += " 0x" + protocol::ByteToHex(values[i]);
        if (i + 1 < values.size()) line += ',';
    }
    return line;
}

std::optional<TStrip> FindStrip(const TPicture& picture) {
    int left = 0;
    while (left < PictureWidth && BlankStripColumn(picture, left)) ++left;
    if (left == PictureWidth) return std::nullopt;
    // Ends at the latest at columns 96 and 97, both outside and so blank.
    int pair = left + 1;
    while (!(BlankStripColumn(picture, pair) && BlankStripColumn(picture, pair + 1))) ++pair;
    TStrip strip{left, pair - 1};
    if (strip.Width() % 2 != 0) ++strip.Right;
    return strip;
}

std::optional<TTableLines> StripTable(const TPicture& picture) {
    const std::optional<TStrip> strip = FindStrip(picture);
    if (!strip) return std::nullopt;
    std::vector<std::uint8_t> rows0to7, rows8to11;
    for (int x = strip->Left; x <= strip->Right; ++x) rows0to7.push_back(BandByte(picture, x, 0));
    for (int x = strip->Left; x < strip->Right; x += 2) {
        rows8to11.push_back(std::uint8_t((BandByte(picture, x, 1) & 0x0F) << 4 | (BandByte(picture, x + 1, 1) & 0x0F)));
    }
    // The ST_4 block always holds an even number of values.
    if (rows8to11.size() % 2 != 0) rows8to11.push_back(0);

    TTableLines lines;
    AppendBlock(lines, "ST_8", rows0to7);
    AppendBlock(lines, "ST_4", rows8to11);
    lines.push_back("        ; Строка = " + std::to_string(strip->Width()) + " байт(а).");
    return lines;
}

TTableLines FontTable(const TPicture& picture) {
    constexpr int CellWidth = 6, GlyphColumns = 5, CellsPerLine = 4,
                  LinesPerBand = PictureWidth / CellWidth / CellsPerLine;
    TTableLines lines;
    // Rows past the picture read as clear, so the band below it always ends the table.
    for (int band = 0;; ++band) {
        for (int line = 0; line < LinesPerBand; ++line) {
            std::vector<std::uint8_t> values;
            for (int cell = line * CellsPerLine; cell < (line + 1) * CellsPerLine; ++cell) {
                for (int column = 0; column < GlyphColumns; ++column) {
                    values.push_back(BandByte(picture, cell * CellWidth + column, band));
                }
            }
            if (std::all_of(values.begin(), values.end(), [](std::uint8_t v) { return v == 0; })) return lines;
            lines.push_back(DbLine(NoLabel, values));
        }
    }
}

TSplashTable SplashTable(const TPicture& picture) {
    TSplashTable table;
    for (int band = 0; band < SplashBands; ++band) {
        for (int x = 0; x < PictureWidth; ++x) {
            table.Data[std::size_t(band) * PictureWidth + std::size_t(x)] =
                BandByte(picture, x, SplashFirstBand + band);
        }
    }
    for (std::size_t at = 0; at < SplashByteCount; at += ValuesPerLine) {
        table.Lines.push_back(DbLine(NoLabel, std::span(table.Data).subspan(at, ValuesPerLine)));
    }
    return table;
}

}  // namespace lumidra::graphics

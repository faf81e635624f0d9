// A key base file is whatever the operator opens. Any bytes must load, and
// saving what loaded must give the same bytes back, with only the line ends
// made uniform: CR LF, lone CR and lone LF all become CR LF. The other way,
// any memo text either saves and loads back as itself, or is refused whole.
#include "keybase/KeyBaseText.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

using namespace lumidra::keybase;

namespace {

QByteArray WithCrLfLineEnds(const QByteArray& bytes) {
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out.append("\r\n", 2);
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            out.append(bytes[i]);
        }
    }
    return out;
}

void CheckFileRoundTrip(const QByteArray& file) {
    const QString memo = DecodeKeyBaseFile(file);
    FUZZ_CHECK(!memo.contains(QLatin1Char('\r')));
    const TEncodedKeyBase saved = EncodeKeyBaseFile(memo);
    FUZZ_CHECK(saved.ok());
    FUZZ_CHECK(saved.Bytes == WithCrLfLineEnds(file));

    // A key appended to what loaded is found by the lookup.
    const QString key =
        QString::fromLatin1(file.left(KeyIdLength / 2).toHex().toUpper()).leftJustified(KeyIdLength, QLatin1Char('0'));
    FUZZ_CHECK(KeyBaseContains(memo + KeyBaseAppendText(memo, key), key));
}

void CheckTextRoundTrip(const QString& memo) {
    const TEncodedKeyBase saved = EncodeKeyBaseFile(memo);
    if (saved.ok()) {
        // The editor never holds a CR; one that got in anyway loads back as a break.
        QString expected = memo;
        expected.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        FUZZ_CHECK(DecodeKeyBaseFile(saved.Bytes) == expected);
        return;
    }
    FUZZ_CHECK(saved.Bytes.isEmpty());
    FUZZ_CHECK(saved.FirstUnencodableLine >= 1 && saved.FirstUnencodableLine <= memo.count(QLatin1Char('\n')) + 1);
    for (qsizetype i = 0; i < saved.Unencodable.size(); ++i)
        FUZZ_CHECK(memo.contains(saved.Unencodable[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    CheckFileRoundTrip(file);

    // The same bytes as UTF-16 memo text: any characters, unpaired surrogates too.
    QString memo(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        memo[static_cast<qsizetype>(i / 2)] = QChar(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    CheckTextRoundTrip(memo);
    return 0;
}

#include "keybase/KeyBaseText.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace lumidra::keybase {

namespace {

// The one byte of Windows-1251 without a character; Windows reads it as the
// C1 control of the same value, and so does this program, so that a file
// holding it loads and saves back unchanged.
constexpr unsigned char UnassignedByte = 0x98;

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one unit; false when the input has no form in the target.
    bool Convert(const char* in, std::size_t inBytes, QByteArray& out) {
        char buffer[16];
        char* src = const_cast<char*>(in);
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &inBytes, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - dstLeft));
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

bool KeyBaseContains(const QString& memoText, const QString& keyId) {
    qsizetype start = 0;
    while (start < memoText.size()) {
        qsizetype end = memoText.indexOf(QLatin1Char('\n'), start);
        if (end < 0) end = memoText.size();
        const QStringView line = QStringView(memoText).mid(start, end - start);
        if (line.left(KeyIdLength) == keyId) return true;
        start = end + 1;
    }
    // An empty memo, or one whose only line is empty, holds no key; an empty
    // identifier is never looked up by the program.
    return false;
}

QString KeyBaseAppendText(const QString& memoText, const QString& keyId) {
    if (memoText.isEmpty() || memoText.endsWith(QLatin1Char('\n'))) return keyId + QLatin1Char('\n');
    return QLatin1Char('\n') + keyId;
}

TEncodedKeyBase EncodeKeyBaseFile(const QString& memoText) {
    TEncodedKeyBase result;
    Iconv toCp1251("WINDOWS-1251", "UTF-8");
    int line = 1;
    for (qsizetype i = 0; i < memoText.size();) {
        // One character: a UTF-16 unit, or a surrogate pair.
        const qsizetype length =
            (memoText[i].isHighSurrogate() && i + 1 < memoText.size() && memoText[i + 1].isLowSurrogate()) ? 2 : 1;
        const QString ch = memoText.mid(i, length);
        i += length;
        if (ch == QLatin1String("\n")) {
            result.Bytes.append("\r\n", 2);
            ++line;
            continue;
        }
        if (ch.size() == 1 && ch[0].unicode() == UnassignedByte) {
            result.Bytes.append(static_cast<char>(UnassignedByte));
            continue;
        }
        // An unpaired surrogate is no character at all, and toUtf8() would
        // quietly turn it into '?': refuse it like any other.
        const bool unpaired = ch.size() == 1 && ch[0].isSurrogate();
        const QByteArray utf8 = ch.toUtf8();
        if (unpaired ||
            !toCp1251.Convert(utf8.constData(), static_cast<std::size_t>(utf8.size()), result.Bytes)) {
            if (result.Unencodable.isEmpty()) result.FirstUnencodableLine = line;
            if (!result.Unencodable.contains(ch)) result.Unencodable += ch;
        }
    }
    if (!result.ok()) result.Bytes.clear();
    return result;
}

QString DecodeKeyBaseFile(const QByteArray& bytes) {
    Iconv fromCp1251("UTF-8", "WINDOWS-1251");
    QByteArray utf8;
    utf8.reserve(bytes.size() * 2);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            utf8.append('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            utf8.append('\n');
        } else if (static_cast<unsigned char>(c) < 0x80) {
            utf8.append(c);
        } else if (!fromCp1251.Convert(&c, 1, utf8)) {
            // Only the unassigned byte gets here: keep it as its C1 control.
            utf8.append(QString(QChar(static_cast<unsigned char>(c))).toUtf8());
        }
    }
    return QString::fromUtf8(utf8);
}

}  // namespace lumidra::keybase

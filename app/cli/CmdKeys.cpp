// `lumidra-cli keys`: a line for each key presented; with --base, each new
// key added to the key base file, saved once at the end.
#include "app/cli/Commands.h"

#include "app/cli/CliFiles.h"
#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace lumidra::cli {

namespace {

class TKeys final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        left_ = Options().Number("--count", 0);
        if (!Options().Has("--base")) return ExitDone;
        const std::string& name = Options().Value("--base");
        const QString base = ArgumentText(name);
        if (name == "-") {
            TConsoleSeams::Tell(QCoreApplication::translate("cli", "--base: база ключей — файл, не «-»"));
            return ExitUsage;
        }
        // What the run would rewrite is read first: only a key base is
        // replaced, and anything else is left as it is.
        const QFileInfo info(base);
        if (info.exists() && !info.isFile()) return Refuse(QCoreApplication::translate("cli", NotRegularText));
        if (desktop::TOutputFile save; !host_.CheckOutput(save, name, desktop::TOutputFile::TForm::Whole)) {
            return ExitFailed;
        }
        // A base that does not exist yet starts empty.
        if (!info.exists()) {
            base_.emplace();
            return ExitDone;
        }
        QFile file(base);
        if (!file.open(QIODevice::ReadOnly)) return Refuse(file.errorString());
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) return Refuse(file.errorString());
        // A text of the code page holds no NUL: such a file is something else.
        if (bytes.contains('\0')) return Refuse(QCoreApplication::translate("cli", HoldsNulText));
        base_ = keybase::DecodeKeyBaseFile(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        return ExitDone;
    }

    void Start() override {}

    void Status(const protocol::TStatusView& status) override {
        const std::string key = status.KeyId.value_or(std::string());
        if (key.empty() || key == last_) {
            if (status.KeyStatus != 1) last_.clear();
            return;
        }
        last_ = key;
        std::string line = key;
        if (base_) {
            const std::u16string id(key.begin(), key.end());
            if (!keybase::KeyBaseContains(*base_, id)) {
                *base_ += keybase::KeyBaseAppendText(*base_, id);
                changed_ = true;
                line += " new";
            }
        }
        if (!host_.Emit(line)) return;
        if (left_ > 0 && --left_ == 0) host_.Finish(ExitDone);
    }

    // The keys read so far, also after Ctrl+C.
    bool Keep() override {
        if (!changed_) return true;
        const QString base = ArgumentText(Options().Value("--base"));
        const keybase::TEncodedKeyBase encoded = keybase::EncodeKeyBaseFile(*base_);
        if (!encoded.ok()) {
            TConsoleSeams::Tell(keybase::UnencodableMessage(encoded));
            return false;
        }
        if (!keybase::WriteKeyBaseFile(base, QByteArray::fromStdString(encoded.Bytes))) {
            TConsoleSeams::Tell(keybase::SaveFailedMessage(base));
            return false;
        }
        return true;
    }

private:
    static constexpr const char* NotRegularText =
        LUMIDRA_TEXT("cli", "не обычный файл, а базу ключей держат в обычном");
    static constexpr const char* HoldsNulText = LUMIDRA_TEXT("cli", "в файле есть байт NUL: это не база ключей");

    int Refuse(const QString& reason) const {
        TConsoleSeams::Tell(QStringLiteral("--base: ") + FileFault(ArgumentText(Options().Value("--base")), reason));
        return ExitFailed;
    }

    std::int64_t left_ = 0;  // keys still to print; 0: no limit
    std::string last_;       // the key held
    std::optional<std::u16string> base_;
    bool changed_ = false;
};

}  // namespace

std::unique_ptr<TCliCommand> MakeKeys(TCommandHost& host) {
    return std::make_unique<TKeys>(host);
}

}  // namespace lumidra::cli

// `lumidra-cli keys`: a line for each key presented; with --base, each new
// key added to the key base file, saved once at the end.
#include "app/cli/Commands.h"

#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QFile>

namespace lumidra::cli {

namespace {

class TKeys final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        left_ = Options().Number("--count", 0);
        if (!Options().Has("--base")) return ExitDone;
        const QString base = ArgumentText(Options().Value("--base"));
        if (desktop::TOutputFile save;
            !host_.CheckOutput(save, Options().Value("--base"), desktop::TOutputFile::TForm::Whole)) {
            return ExitFailed;
        }
        // A base that does not exist yet starts empty.
        if (!QFile::exists(base)) {
            base_.emplace();
            return ExitDone;
        }
        const std::optional<QByteArray> bytes = keybase::ReadWholeFile(base);
        if (!bytes) {
            TConsoleSeams::Tell(QCoreApplication::translate("keybase", keybase::LoadFailedText));
            return ExitFailed;
        }
        base_ = keybase::DecodeKeyBaseFile(std::string_view(bytes->constData(), std::size_t(bytes->size())));
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

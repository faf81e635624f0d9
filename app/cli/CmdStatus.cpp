// `lumidra-cli status`: the board's status reports as lines or JSON, one, a
// count, until a condition holds, or as long as they come.
#include "app/cli/Commands.h"
#include "app/cli/StatusText.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

class TStatus final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        if (Options().Has("--until")) until_ = ParseUntil(Options().Value("--until"));
        left_ = Options().Number("--count", Options().Has("--watch") || until_ ? 0 : 1);
        return ExitDone;
    }

    void Start() override {
        if (!until_) return;
        const int timeoutMs = Options().TimeoutMs;
        host_.After(timeoutMs, [this, timeoutMs] {
            TConsoleSeams::Tell(QCoreApplication::translate("cli", "--until %1: не выполнилось за %2 с")
                                    .arg(ArgumentText(Options().Value("--until")))
                                    .arg(timeoutMs / 1000));
            host_.Finish(ExitFailed);
        });
    }

    void Status(const protocol::TStatusView& status) override {
        if (!host_.Emit(Options().Has("--json") ? StatusJson(status) : StatusLine(status))) return;
        if (until_ && UntilHolds(*until_, status)) {
            host_.Finish(ExitDone);
        } else if (left_ > 0 && --left_ == 0) {
            if (until_) {
                TConsoleSeams::Tell(QCoreApplication::translate("cli", "--until %1: не выполнилось за %2 отчётов")
                                        .arg(ArgumentText(Options().Value("--until")))
                                        .arg(Options().Number("--count", 0)));
            }
            host_.Finish(until_ ? ExitFailed : ExitDone);
        }
    }

private:
    std::optional<TUntil> until_;
    std::int64_t left_ = 0;  // status reports still to print; 0: no limit
};

}  // namespace

std::string StatusFault(const TCliOptions& options) {
    // --watch runs as long as reports come: a count or a condition would end it.
    for (const char* end : {"--count", "--until"}) {
        if (options.Has("--watch") && options.Has(end)) {
            return QCoreApplication::translate("cli", "status: --watch и %1 исключают друг друга")
                .arg(QLatin1String(end))
                .toStdString();
        }
    }
    return {};
}

std::unique_ptr<TCliCommand> MakeStatus(TCommandHost& host) {
    return std::make_unique<TStatus>(host);
}

}  // namespace lumidra::cli

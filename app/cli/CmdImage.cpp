// `lumidra-cli image`: a picture on the LCD, the LCD's own picture file or
// any picture made one-bit.
#include "app/cli/Commands.h"

#include "app/cli/CliFiles.h"
#include "graphics/ImageTransfer.h"
#include "graphics/PictureImport.h"

namespace lumidra::cli {

namespace {

class TImage final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        if (!host_.CheckInput(Options().Operand(0))) return ExitFailed;
        const std::unique_ptr<QIODevice> input = OpenInput(Options().Operand(0));
        if (!input) return ExitFailed;
        // The window's own picture file first (its header goes to DataReport as
        // the window's does), else any picture made one-bit.
        TConsoleSeams& seams = host_.Seams();
        seams.Silent = true;
        picture_ = graphics::TakePictureFile(*input);
        seams.Silent = false;
        if (!picture_) {
            picture_ =
                ImportForLcd(*input, Options().Number("--threshold", graphics::DefaultImportThreshold), OperandText());
        }
        if (!picture_) return ExitFailed;
        host_.Inputs().Picture = [this] { return *picture_; };
        return ExitDone;
    }

    void Start() override {
        graphics::RequestImageJob();
        host_.StartJob();
    }

    std::optional<TProgress> Progress() const override { return OneRequestProgress(graphics::ImageBandByteCount); }

private:
    std::optional<graphics::TPicture> picture_;
};

}  // namespace

std::unique_ptr<TCliCommand> MakeImage(TCommandHost& host) {
    return std::make_unique<TImage>(host);
}

}  // namespace lumidra::cli

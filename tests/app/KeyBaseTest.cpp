// The key base in the real window: keys the board reads are looked up and
// appended to MemoKey, and the memo is loaded from and saved to its file
// through the shared dialogs. Files are checked byte for byte.
#include "tests/app/MainWindowFixture.h"

#include "keybase/KeyBase.h"
#include "tests/app/FileTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

namespace lumidra::testing {
namespace {

using desktop::TMsgButtons;
using desktop::TMsgIcon;
using desktop::TMsgResult;
using protocol::KeyBaseSaved;

constexpr std::array<std::uint8_t, 8> KeyA{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
constexpr std::array<std::uint8_t, 8> KeyB{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18};
const QString IdA = QStringLiteral("EFCDAB8967452301");
const QString IdB = QStringLiteral("1807F6E5D4C3B2A1");

const QString Filter = QStringLiteral("Текстовый файл|*.txt|Все файлы|*.*");
const QString LoadConfirm = QStringLiteral("Изменения в базе ключей будут потеряны! Продолжить?  ");
const QString LoadFailed = QStringLiteral("Данные загрузить не удалось, данные или диск не доступны!");
const QString SaveFailed = QStringLiteral("Данные сохранить не удалось, диск не доступен!");
// The failed save names the file on a line of its own.
QString SaveFailedFor(const QString& file) {
    return SaveFailed + QLatin1Char('\n') + QDir::toNativeSeparators(file);
}
const QString Saved = QStringLiteral("Данные успешно сохранены.");

class KeyBase : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(Dir.isValid());
        protocol::StartFolder = Dir.path();
    }

    QString Path(const QString& name) const { return Dir.filePath(name); }
    QString Memo() const { return keybase::MemoText(*Form->MemoKey); }

    void SetMemo(const QString& text, bool saved) {
        Form->MemoKey->setPlainText(text);
        KeyBaseSaved = saved;
    }

    void Load(const std::optional<QString>& file) {
        Seams.DialogAnswers.push_back(file);
        Form->LoadBase->trigger();
    }
    void Save(const QString& file) {
        Seams.DialogAnswers.push_back(file);
        Form->SaveBase->trigger();
    }

    // Exactly one plain message with `text`.
    void ExpectMessage(const QString& text) const {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        EXPECT_EQ(Seams.Boxes[0].Text, text);
        EXPECT_TRUE(Seams.Boxes[0].Plain);
    }

    void ExpectDialog(desktop::TFileDialogKind kind, const QString& title) const {
        ASSERT_EQ(Seams.Dialogs.size(), 1u);
        const auto& use = Seams.Dialogs[0];
        EXPECT_EQ(use.Kind, kind);
        EXPECT_EQ(use.Title, title);
        EXPECT_EQ(use.Filter, Filter);
        EXPECT_EQ(use.InitialDir, Dir.path());
    }

    // Files of the folder: what a save left behind.
    QStringList Files() const { return QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir Dir;
};

// --- lookup and append -------------------------------------------------------

TEST_F(KeyBase, OnlyTheFirstSixteenCharactersCountAndCaseMatters) {
    const int board = StartAttached();
    SetMemo(IdA + " front door\n", true);
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    EXPECT_EQ(Memo(), IdA + " front door\n");
    EXPECT_TRUE(KeyBaseSaved) << "a known key changes nothing";

    SetMemo(IdA.toLower() + " lower case\n", true);
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    EXPECT_EQ(Memo(), IdA.toLower() + " lower case\n" + IdA + "\n");
    EXPECT_FALSE(KeyBaseSaved);
}

TEST_F(KeyBase, AppendLeavesTheOperatorsCursorAndIsOneUndoStep) {
    const int board = StartAttached();
    SetMemo("0000000000000000 gate", true);  // last line typed without Enter
    QTextCursor cursor = Form->MemoKey->textCursor();
    cursor.setPosition(4);
    Form->MemoKey->setTextCursor(cursor);

    Deliver(board, Status(0, 0, 0, 1, KeyA));
    EXPECT_EQ(Memo(), "0000000000000000 gate\n" + IdA) << "a line of its own";
    EXPECT_EQ(Form->MemoKey->textCursor().position(), 4);
    Form->MemoKey->undo();
    EXPECT_EQ(Memo(), QStringLiteral("0000000000000000 gate"));
}

TEST_F(KeyBase, ClosingAfterAnAppendAsks) {
    const int board = StartAttached();
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    Seams.BoxAnswers = {TMsgResult::Cancel};
    EXPECT_FALSE(Form->close());
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QStringLiteral("Изменения в базе ключей будут потеряны! Всё равно выйти?  "));
    EXPECT_TRUE(Form->isVisible());
}

// --- save ----------------------------------------------------------------------

TEST_F(KeyBase, SaveWritesCrLfBetweenLinesInWindows1251) {
    Start();
    SetMemo(QStringLiteral("A\nB"), false);
    Save(Path("keys.txt"));
    ExpectDialog(desktop::TFileDialogKind::Save, QStringLiteral("Сохранение базы ключей :"));
    EXPECT_TRUE(Seams.Dialogs[0].Options & desktop::ofOverwritePrompt);
    ExpectMessage(Saved);
    EXPECT_EQ(FileBytes(Path("keys.txt")), QByteArray("\x41\x0D\x0A\x42"));
    EXPECT_TRUE(KeyBaseSaved);

    // Replaced whole, comments in Windows-1251, no final break unless typed.
    SetMemo(QStringLiteral("0123456789ABCDEF Ключ\n"), false);
    Save(Path("keys.txt"));
    EXPECT_EQ(FileBytes(Path("keys.txt")), QByteArray("0123456789ABCDEF \xCA\xEB\xFE\xF7\r\n"));
    EXPECT_EQ(Files(), QStringList{"keys.txt"});
}

TEST_F(KeyBase, TwoAppendedKeysMakeA36ByteFile) {
    const int board = StartAttached();
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    Deliver(board, Status(0, 0, 0, 1, KeyB));
    Save(Path("keys"));  // no extension is added
    EXPECT_EQ(FileBytes(Path("keys")), (IdA + "\r\n" + IdB + "\r\n").toLatin1());
    EXPECT_EQ(FileBytes(Path("keys")).size(), 36);

    // After a line typed without Enter the file ends without a break.
    SetMemo(QStringLiteral("typed"), false);
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    Save(Path("keys"));
    EXPECT_EQ(FileBytes(Path("keys")), ("typed\r\n" + IdA).toLatin1());
}

TEST_F(KeyBase, CancelledSaveChangesNothing) {
    Start();
    SetMemo(QStringLiteral("A"), false);
    Seams.DialogAnswers.push_back(std::nullopt);
    Form->SaveBase->trigger();
    EXPECT_TRUE(Seams.Boxes.empty());
    EXPECT_FALSE(KeyBaseSaved);
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(KeyBase, SaveIntoAFolderThatCannotBeWrittenFailsAndKeepsTheFlag) {
    Start();
    // A regular file where the folder should be: no file can go under it,
    // whatever the user's rights.
    WriteFile(Path("plain"), "PLAIN");
    SetMemo(IdA + "\n", false);
    Save(Path("plain/keys.txt"));
    ExpectMessage(SaveFailedFor(Path("plain/keys.txt")));
    EXPECT_FALSE(KeyBaseSaved);
    EXPECT_EQ(FileBytes(Path("plain")), QByteArray("PLAIN"));
    EXPECT_EQ(Memo(), IdA + "\n");

    // The same for a base that had been saved: the flag keeps its value.
    KeyBaseSaved = true;
    Seams.Boxes.clear();
    Save(Path("plain/keys.txt"));
    ExpectMessage(SaveFailedFor(Path("plain/keys.txt")));
    EXPECT_TRUE(KeyBaseSaved);
}

TEST_F(KeyBase, SaveThatFailsHalfWayLeavesTheOldFileIntact) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no per-process file size limit (RLIMIT_FSIZE) with which a test "
                    "could make a write fail half-way";
#else
    Start();
    const QByteArray old = "OLD KEYS\r\n";
    WriteFile(Path("keys.txt"), old);
    SetMemo(IdA + "\n" + IdB + "\n", false);
    {
        FileSizeLimit limit(16);  // the new file stops after 16 of its 36 bytes
        ASSERT_TRUE(limit.Ok());
        Save(Path("keys.txt"));
    }
    ExpectMessage(SaveFailedFor(Path("keys.txt")));
    EXPECT_FALSE(KeyBaseSaved);
    EXPECT_EQ(FileBytes(Path("keys.txt")), old);
    EXPECT_EQ(Files(), QStringList{"keys.txt"}) << "no partial file left beside it";
#endif
}

TEST_F(KeyBase, CharactersWithoutAWindows1251FormAreNotSaved) {
    Start();
    WriteFile(Path("keys.txt"), "OLD");
    SetMemo(QStringLiteral("AAAA\nBBBB 日本 ✓\nCCCC 日"), false);
    Save(Path("keys.txt"));
    ExpectMessage(QStringLiteral(
        "Данные сохранить не удалось, символы «日本✓» (строка 2) нельзя записать в кодировке Windows-1251!"));
    EXPECT_FALSE(KeyBaseSaved);
    EXPECT_EQ(FileBytes(Path("keys.txt")), QByteArray("OLD"));
}

// The message of a successful save is modal; a key the board adds while it is
// open is not in the file, so the base must count as unsaved afterwards.
TEST_F(KeyBase, AKeyAddedWhileTheSavedMessageIsOpenStaysUnsaved) {
    const int board = StartAttached();
    Deliver(board, Status(0, 0, 0, 1, KeyA));
    Seams.OnBox = [&](const QString& text) {
        if (text == Saved) Deliver(board, Status(0, 0, 0, 1, KeyB));
    };
    Save(Path("keys.txt"));
    ExpectMessage(Saved);
    EXPECT_EQ(FileBytes(Path("keys.txt")), (IdA + "\r\n").toLatin1());
    EXPECT_EQ(Memo(), IdA + "\n" + IdB + "\n");
    EXPECT_FALSE(KeyBaseSaved);
}

// --- load ----------------------------------------------------------------------

TEST_F(KeyBase, LoadTakesLfCrAndCrLfAsLineBreaks) {
    Start();
    WriteFile(Path("lf.txt"), "AAAA 1\nBBBB\n");
    Load(Path("lf.txt"));
    EXPECT_TRUE(Seams.Boxes.empty()) << "a saved base loads without asking";
    ExpectDialog(desktop::TFileDialogKind::Open, QStringLiteral("Открытие базы ключей :"));
    EXPECT_EQ(Memo(), QStringLiteral("AAAA 1\nBBBB\n"));
    EXPECT_EQ(Form->MemoKey->document()->findBlockByNumber(1).text(), QStringLiteral("BBBB"));
    EXPECT_TRUE(KeyBaseSaved);

    WriteFile(Path("mixed.txt"), "A\rB\r\nC\xCA");
    Load(Path("mixed.txt"));
    EXPECT_EQ(Memo(), QStringLiteral("A\nB\nCК"));
    EXPECT_TRUE(KeyBaseSaved);
}

TEST_F(KeyBase, EveryByteLoadsAndSavesBackUnchanged) {
    Start();
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') all.append(static_cast<char>(b));
    }
    all += "\r\n" + IdA.toLatin1() + "\xA0no-break\r\n";
    WriteFile(Path("all.txt"), all);
    Load(Path("all.txt"));
    Save(Path("back.txt"));
    EXPECT_EQ(FileBytes(Path("back.txt")), all);
}

TEST_F(KeyBase, UnsavedChangesAskFirstAndCancelChangesNothing) {
    Start();
    WriteFile(Path("keys.txt"), "FILE\r\n");
    SetMemo(QStringLiteral("MINE"), false);

    Seams.BoxAnswers = {TMsgResult::Cancel};
    Form->LoadBase->trigger();
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, LoadConfirm);
    EXPECT_EQ(Seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
    EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Warning);
    EXPECT_EQ(Seams.Boxes[0].Buttons, TMsgButtons::OkCancel);
    EXPECT_TRUE(Seams.Dialogs.empty());
    EXPECT_EQ(Memo(), QStringLiteral("MINE"));

    Seams.BoxAnswers = {TMsgResult::Ok};
    Load(std::nullopt);
    EXPECT_EQ(Seams.Boxes.size(), 2u);
    EXPECT_EQ(Seams.Dialogs.size(), 1u);
    EXPECT_EQ(Memo(), QStringLiteral("MINE"));
    EXPECT_FALSE(KeyBaseSaved);

    Seams.BoxAnswers = {TMsgResult::Ok};
    Load(Path("keys.txt"));
    EXPECT_EQ(Memo(), QStringLiteral("FILE\n"));
    EXPECT_TRUE(KeyBaseSaved);
}

TEST_F(KeyBase, FailedLoadLeavesAnEmptyUnsavedMemo) {
    Start();
    SetMemo(QStringLiteral("KEPT?"), true);
    Load(Path("missing.txt"));
    ExpectMessage(LoadFailed);
    EXPECT_TRUE(Memo().isEmpty());
    EXPECT_FALSE(KeyBaseSaved);

    // Also from an empty memo, and for a folder given as the file.
    KeyBaseSaved = true;
    Seams.Boxes.clear();
    Load(Dir.path());
    ExpectMessage(LoadFailed);
    EXPECT_FALSE(KeyBaseSaved);
}

}  // namespace
}  // namespace lumidra::testing

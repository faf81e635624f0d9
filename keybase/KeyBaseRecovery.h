// An unsaved key base when the run must end without asking (the system ends
// the program): its text goes to a recovery file, and the next start tells
// the operator where it is.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace lumidra::keybase {

// Writes `memoText` to a new file "keybase-unsaved-YYYYMMDD-HHMMSS.txt" in
// `folder` (made if missing), in the key base file's format; text the code
// page cannot hold goes out as UTF-8 instead, since nothing may be lost here.
// Leaves a notice for TakeRecoveryNotice. With `latestOnly` the folder's
// earlier recovery files go once this one is written, and the notice names
// this one alone. Returns the file's full name, or empty when nothing could
// be written.
QString SaveKeyBaseRecovery(const QString& memoText, const QString& folder, const QDateTime& now,
                            bool latestOnly = false);

// The operator's message about the recovery files written since the last
// start that are still there, or empty; the notice is used up, the files
// stay.
QString TakeRecoveryNotice(const QString& folder);

// Removes `files` (written by SaveKeyBaseRecovery into `folder`) and their
// lines from the notice, the notice itself once it names none: the text they
// hold was saved, replaced or given up after all. Names that are gone are
// passed over.
void WithdrawKeyBaseRecovery(const QStringList& files, const QString& folder);

// The folder of the recovery files: the program's data folder of this user;
// for a demo run its own folder inside, so that the invented keys of a demo
// are never named to a run with a real board.
QString RecoveryFolder(bool demo);

}  // namespace lumidra::keybase

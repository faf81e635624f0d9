// An unsaved key base when the run must end without asking (the system ends
// the program): its text goes to a recovery file, and the next start tells
// the operator where it is.
#pragma once

#include <QDateTime>
#include <QString>

namespace lumidra::keybase {

// Writes `memoText` to a new file "keybase-unsaved-YYYYMMDD-HHMMSS.txt" in
// `folder` (made if missing), in the key base file's format; text the code
// page cannot hold goes out as UTF-8 instead, since nothing may be lost here.
// Leaves a notice for TakeRecoveryNotice. Returns the file's full name, or
// empty when nothing could be written.
QString SaveKeyBaseRecovery(const QString& memoText, const QString& folder, const QDateTime& now);

// The operator's message about the recovery files written since the last
// start, or empty; the notice is used up, the files stay.
QString TakeRecoveryNotice(const QString& folder);

// The folder of the recovery files: the program's data folder of this user.
QString RecoveryFolder();

}  // namespace lumidra::keybase

#pragma once

#include <QString>

namespace orvex {

// Where the emulator listens unless told otherwise: $XDG_RUNTIME_DIR/orvex-emulator.sock, or,
// without a runtime folder, orvex-emulator.sock in a private folder of this user under the
// temporary folder.
QString defaultEmulatorSocketPath();

// Makes sure the folder of the default socket exists and only this user can enter it.  Only
// the fallback folder under the temporary folder is created or checked; returns false with a
// message when it belongs to someone else or is open to others.
bool prepareSocketFolder(const QString &socketPath, QString *error);

} // namespace orvex

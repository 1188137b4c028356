#pragma once

#include <QString>

namespace orvex {

// Where the emulator listens unless told otherwise: $XDG_RUNTIME_DIR/orvex-emulator.sock, or,
// without a runtime folder, orvex-emulator.sock in a private folder of this user under the
// temporary folder.
QString defaultEmulatorSocketPath();

// The word that stands for the default path where a program takes an emulator's socket.
inline const QString kDefaultSocketWord = QStringLiteral("default");

// Whether an emulator answers a connection at `path`.
bool emulatorIsListening(const QString &path);

// Makes sure the folder of the default socket exists and only this user can enter it.  Only
// the fallback folder under the temporary folder is created or checked; returns false with a
// message when it belongs to someone else or is open to others.
bool prepareSocketFolder(const QString &socketPath, QString *error);

} // namespace orvex

#pragma once

#include "core/config/ConfigImage.h"

#include <QString>

namespace orvex {

class ConfigModel;

enum class FileStatus {
    Ok,
    InvalidFile, // wrong length, or an image the decoder rejects
    OpenError,   // the file cannot be measured, opened or read
    SaveError,   // the file cannot be written; a file that was there is unchanged
    PartlySaved, // written in place and cut short: the file that was there is damaged
};

// The program's text for a failed file operation ("Invalid configuration file", ...); empty
// for FileStatus::Ok.
QString fileStatusText(FileStatus status);

// Every operation below can say why it failed in `reason`, in words a user can act on: "no
// such file", "it is a folder", "no permission to read it", "it is 6 bytes long; a
// configuration file is exactly 512 bytes", "byte 226 (channel 3, periodic keystrokes) is
// 101; the largest valid value is 100".

// A message that names the file, then what went wrong and why:
// "Config.ORV: Error opening the file: no such file".
QString fileProblemText(const QString &path, FileStatus status, const QString &reason);

// Reads exactly one image from `path`.  Anything that is not a regular file of exactly 512
// bytes is refused without being read.
FileStatus readImageFile(const QString &path, ConfigImage &image, QString *reason = nullptr);

// Reads a whole regular file of at most `maxSize` bytes.  A longer one is InvalidFile, unread
// and without a reason: the caller knows what its limit stands for.
FileStatus readSmallFile(const QString &path, qint64 maxSize, QByteArray &content,
                         QString *reason = nullptr);

// Why nothing can be saved at `path` (a folder, a missing folder, a folder that takes no new
// file where the file cannot be written either), or an empty text when nothing stands in the
// way that can be seen before trying.
QString saveTargetProblem(const QString &path);

// Writes the image atomically: the previous file stays intact unless the new one is complete.
// Only in a folder that takes no new files (read-only, while the file itself is writable) is
// the file written in place, where a write cut short reports PartlySaved.  A replaced file
// keeps its permissions.
FileStatus writeImageFile(const QString &path, const ConfigImage &image, QString *reason = nullptr);

// Loads a configuration file into the model; on success configChanged becomes false.  On any
// failure the model is unchanged.
FileStatus loadConfigFile(ConfigModel &model, const QString &path, QString *reason = nullptr);

// Saves the model to `path`; on success configChanged becomes false, otherwise it stays.
FileStatus saveConfigFile(ConfigModel &model, const QString &path, QString *reason = nullptr);

} // namespace orvex

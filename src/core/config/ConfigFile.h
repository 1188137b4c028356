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

// Reads exactly one image from `path`.  Anything that is not a regular file of exactly 512
// bytes is refused without being read.
FileStatus readImageFile(const QString &path, ConfigImage &image);

// Writes the image atomically: the previous file stays intact unless the new one is complete.
// Only in a folder that takes no new files (read-only, while the file itself is writable) is
// the file written in place, where a write cut short reports PartlySaved.  A replaced file
// keeps its permissions.
FileStatus writeImageFile(const QString &path, const ConfigImage &image);

// Loads a configuration file into the model; on success configChanged becomes false.  On any
// failure the model is unchanged.
FileStatus loadConfigFile(ConfigModel &model, const QString &path);

// Saves the model to `path`; on success configChanged becomes false, otherwise it stays.
FileStatus saveConfigFile(ConfigModel &model, const QString &path);

} // namespace orvex

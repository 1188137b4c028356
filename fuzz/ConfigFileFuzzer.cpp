// Any bytes as a configuration file: only a 512-byte file that decodes changes the model.

#include "FuzzSupport.h"
#include "core/config/ConfigFile.h"
#include "core/config/ConfigImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

using namespace orvex;
using namespace orvex::fuzz;

namespace {

QString scratchFile()
{
    static QTemporaryDir folder;
    require(folder.isValid(), "a scratch folder can be made");
    return folder.filePath(QStringLiteral("input.ORV"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = scratchFile();
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the input can be stored");
        require(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
                    static_cast<qint64>(size),
                "the whole input is stored");
    }

    ConfigModel model;
    loadDistinctiveModel(model);
    testing::makeUnsavedChange(model);
    const ModelSnapshot before(model);

    const FileStatus status = loadConfigFile(model, path);

    ConfigModel reference;
    bool decodes = false;
    if (size == static_cast<std::size_t>(kImageSize)) {
        ConfigImage image{};
        std::copy_n(data, size, image.begin());
        decodes = decodeImage(reference, image);
    }
    require((status == FileStatus::Ok) == decodes,
            "a file loads exactly when it is 512 bytes that decode");
    require(status == FileStatus::Ok || status == FileStatus::InvalidFile,
            "a readable regular file is never an open error");
    if (status == FileStatus::Ok) {
        require(!model.configChanged(), "a loaded file clears configChanged");
        require(model.configuration() == reference.configuration(),
                "the file's configuration is loaded");
    } else {
        require(before.matches(model) && model.configChanged(), "a refused file changes nothing");
    }
    return 0;
}

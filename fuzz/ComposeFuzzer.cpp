// Any text as the JSON of "orvexctl compose": an accepted description composes a file the
// program can open again with the same configuration; a refused one writes nothing.

#include "FuzzSupport.h"
#include "MemoryConsole.h"
#include "core/config/ConfigFile.h"
#include "core/config/ConfigImage.h"
#include "programs/ctl/ConfigJson.h"
#include "programs/ctl/OrvexCtl.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

using namespace orvex;
using namespace orvex::fuzz;

namespace {

struct Scratch
{
    Scratch()
    {
        static int argc = 1;
        static char name[] = "orvexctl";
        static char *argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            application = new QCoreApplication(argc, argv);
        require(folder.isValid(), "a scratch folder can be made");
    }

    QCoreApplication *application = nullptr;
    QTemporaryDir folder;
};

Scratch &scratch()
{
    static Scratch instance;
    return instance;
}

// The converter on its own: accepted values pass the decoder; refused text changes nothing.
void checkConverter(const QByteArray &text)
{
    ConfigModel model;
    loadDistinctiveModel(model);
    const ModelSnapshot before(model);
    ctl::ConfigJson json;
    if (!json.fromJson(text, model)) {
        require(before.matches(model), "refused JSON leaves the model as it was");
        require(!json.errorString().isEmpty(), "refused JSON says why");
        return;
    }
    ConfigModel decoded;
    require(decodeImage(decoded, encodeImage(model)), "accepted JSON composes a valid image");
    require(isWithinRanges(decoded), "the composed image is within the ranges");
}

// The whole command, through its files.
void checkCommand(const QByteArray &text)
{
    const QString jsonPath = scratch().folder.filePath(QStringLiteral("input.json"));
    const QString outputPath = scratch().folder.filePath(QStringLiteral("output.ORV"));
    QFile::remove(outputPath);
    {
        QFile json(jsonPath);
        require(json.open(QIODevice::WriteOnly | QIODevice::Truncate), "the input can be stored");
        require(json.write(text) == text.size(), "the whole input is stored");
    }

    testing::MemoryConsole streams;
    ctl::OrvexCtl program(streams.console);
    const int status =
        program.run({QStringLiteral("orvexctl"), QStringLiteral("compose"), jsonPath, outputPath});

    if (status != ctl::kExitSuccess) {
        require(!QFile::exists(outputPath), "a refused description writes nothing");
        require(!streams.err.data().isEmpty(), "a refused description is explained");
        return;
    }
    ConfigModel model;
    require(loadConfigFile(model, outputPath) == FileStatus::Ok,
            "a composed file opens as a valid configuration");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    scratch();
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkConverter(text);
    checkCommand(text);
    return 0;
}

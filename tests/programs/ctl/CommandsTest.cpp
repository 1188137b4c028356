// orvexctl's commands, run in this process on memory streams: against files in a temporary
// folder, the virtual devices, and a scripted composite device behind the hidapi backend.

#include "MemoryConsole.h"
#include "ModelEditing.h"
#include "Printers.h"
#include "ScriptedHidPlatform.h"
#include "TestFiles.h"
#include "core/backends/hidapi/HidapiDeviceAccess.h"
#include "core/keys/KeyNames.h"
#include "programs/ctl/ConfigJson.h"
#include "programs/ctl/DeviceSession.h"
#include "programs/ctl/LiveMonitor.h"
#include "programs/ctl/OrvexCtl.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace orvex::ctl {
namespace {

using namespace orvex::testing;

// What a run printed on its two streams, and its exit status.
struct Outcome
{
    int status = -1;
    QString out;
    QString err;

    bool operator==(const Outcome &) const = default;
    friend void PrintTo(const Outcome &o, std::ostream *os)
    {
        *os << o.status << " \"" << o.out.toStdString() << "\" \"" << o.err.toStdString() << '"';
    }
};

// A Directional channel with modifiers, a delay and a joystick-only channel.
ConfigImage sampleImage()
{
    Configuration c = defaultConfiguration();
    c.powerOnDelay = 4;
    const std::uint8_t ctrlAlt = kOperatorCtrl | kOperatorAlt, axisVno = 0x46;
    c.channels[0] = {kDirectionalSteps, 2,      {0x4C, 0xE7}, {ctrlAlt, kOperatorShift}, 0, 25, 1,
                     kModeBoth,         axisVno};
    c.channels[5].mode = kModeJoystick;
    return encodeImage(c);
}

// What a valid file decodes to, encoded again: reserved bytes and unused sections are gone.
QByteArray decoded(const ConfigImage &image)
{
    ConfigModel model;
    return decodeImage(model, image) ? bytesOf(encodeImage(model)) : QByteArray();
}

class CtlTest : public ::testing::Test
{
protected:
    CtlTest()
    {
        static int argc = 1;
        static char name[] = "test_programs_ctl", *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        writeFile(path("in.orv"), bytesOf(sampleImage()));
        writeFile(path("dev.orv"), "old");
    }

    // Runs orvexctl on the given layer; without one, on the layer its options choose.
    Outcome run(const QStringList &arguments, DeviceAccess *access, QByteArray input = {},
                bool terminal = false)
    {
        MemoryConsole streams(std::move(input), terminal);
        OrvexCtl program(streams.console);
        program.setDeviceAccess(access);
        const int status = program.run(QStringList{"orvexctl"} + arguments);
        return {status, QString::fromUtf8(streams.out.data()),
                QString::fromUtf8(streams.err.data())};
    }
    Outcome run(const QStringList &arguments) { return run(arguments, &devices); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    VirtualDeviceAccess devices;
};

// A usage error names the fault, then the usage of the command or the general help; the help
// keeps to 79 columns with each description under its command.
TEST_F(CtlTest, UsageErrorsExitWithTwoAndTheHelpWithZero)
{
    const std::pair<QStringList, QString> cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"show"}, "missing FILE"},
        {{"compose"}, "missing JSON FILE"},
        {{"show", "a", "b"}, "unexpected argument \"b\""},
        {{"show", "a", "-q"}, "Unknown option 'q'."},
        {{"show", ""}, "empty file name"},
        {{"read", "a", "--device", "3"}, "--device must be 1 or 2"},
        {{"monitor", "--polls", "0"}, "--polls must be a positive whole number"},
        {{"devices", "--emulator", ""}, "--emulator needs the path of the emulator's socket."},
        {{"devices", "--simulate", "--emulator", "e"},
         "--simulate and --emulator cannot be used together."}};
    for (const auto &[arguments, message] : cases) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 2) << message.toStdString();
        EXPECT_EQ(result.out, QString());
        EXPECT_EQ(result.err.section('\n', 0, 0), "orvexctl: " + message);
        // A known command's own usage line and where to read more; else the general help.
        const QString command = arguments.value(0);
        const bool known = !arguments.isEmpty() && command != "frobnicate";
        const QString usage = known ? run({command, "--help"}).out.section('\n', 0, 0) +
                                          "\nRun \"orvexctl " + command +
                                          " --help\" for more information."
                                    : "Usage: orvexctl COMMAND [options] [arguments]\n";
        EXPECT_EQ(result.err.section('\n', 1, 2), usage);
    }
    EXPECT_TRUE(devices.log().empty());
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(run({"help"}), help);
    EXPECT_EQ(run({"-h"}), help);
    // Lines of at most 79 columns: commands indented by 2, their descriptions by 6.
    const QRegularExpression helpLine("^((|  |      )[^ ](.*[^ ])?)?$");
    for (const QString &line : help.out.split('\n')) {
        EXPECT_LE(line.size(), 79) << line.toStdString();
        EXPECT_TRUE(helpLine.match(line).hasMatch()) << line.toStdString();
    }
    EXPECT_TRUE(help.out.endsWith(
        "\n\nExit status: 0 success, 1 the file or the device failed, 2 usage error.\n"));
    EXPECT_TRUE(run({"read", "--help"})
                    .out.startsWith("Usage: orvexctl read FILE [--device 1|2]\nRead the device's "
                                    "configuration and save it to FILE.\n"));
    for (const char *option : {"--version", "-v"})
        EXPECT_TRUE(
            QRegularExpression("^orvexctl \\d+\\.\\d\\d\\n$").match(run({option}).out).hasMatch());
}

TEST_F(CtlTest, ShowAndComposeConvertFilesBothWaysAndWriteNothingBad)
{
    ConfigImage stored = sampleImage();
    stored[75] = 0x99; // a reserved byte: not part of the configuration
    writeFile(path("in.orv"), bytesOf(stored));
    const QString json = run({"show", path("in.orv"), "--json"}).out;
    EXPECT_TRUE(json.contains("\"[ctrl] [alt] Delete\",\n")); // key names beside the codes
    EXPECT_EQ(run({"compose", "-", path("out.orv")}, nullptr, json.toUtf8()), (Outcome{0, "", ""}));
    EXPECT_EQ(readFile(path("out.orv")), decoded(stored));
    writeFile(path("edge.json"), json.toUtf8().leftJustified(1 << 20, ' ')); // the largest taken
    EXPECT_EQ(run({"compose", path("edge.json"), path("out.orv")}), (Outcome{0, "", ""}));
    writeFile(path("bad.json"),
              QString(json).replace("\"periodic\": 25", "\"periodic\": 101").toUtf8());
    writeFile(path("big.json"), QByteArray((1 << 20) + 1, ' '));
    writeFile(path("short.orv"), QByteArray(511, '\0'));
    const QString outOfRange = "channels[0].periodic: 101 is out of range 0-100 (periodic counts "
                               "tenths of a second; periodicName takes seconds)";
    EXPECT_TRUE(
        run({"show", path("in.orv")})
            .out.startsWith(
                "Power-on delay: 4 sec\n\nChannel 1\n"
                "  Outputs:              Keyboard, Joystick\n  Number of steps:      Directional\n"
                "  Hysteresis:           High\n  Preload:              On\n  Key repeat:           "
                "Off\n"
                "  Periodic keystrokes:  2.5 sec\n  Joystick axis:        Vno\n  Step  Key\n"
                "     1  [ctrl] [alt] Delete\n     2  [shift] Right Win\n\nChannel 2\n"));
    writeFile(path("good.json"), json.toUtf8());
    // Each names its file, says what went wrong with it and why.
    const std::pair<QStringList, QString> failures[] = {
        {{"show", path("short.orv")},
         path("short.orv") + ": Invalid configuration file: it is 511 bytes long; a "
                             "configuration file is exactly 512 bytes"},
        {{"show", path("none.orv"), "--json"},
         path("none.orv") + ": Error opening the file: no such file"},
        {{"compose", path("bad.json"), path("out.orv")}, path("bad.json") + ": " + outOfRange},
        {{"compose", path("none.json"), path("out.orv")},
         path("none.json") + ": Error opening the file: no such file"},
        {{"compose", path("good.json"), path("none/out.orv")},
         path("none/out.orv") + ": Error saving file: the folder " + path("none") +
             " does not exist"},
        {{"compose", path("big.json"), path("out.orv")},
         path("big.json") + ": larger than 1 MiB, not a configuration"}};
    for (const auto &[arguments, message] : failures)
        EXPECT_EQ(run(arguments), (Outcome{1, "", message + '\n'}));
    EXPECT_EQ(readFile(path("out.orv")), decoded(stored)); // refused, so the old file stays
}

// Configurations that between them hold every step count, every axis and an unknown one, every
// output mode and a spread of the other values, with keys from the key table.
std::vector<Configuration> spreadOfConfigurations()
{
    std::vector<Configuration> spread;
    const auto &axes = joystickAxes();
    const auto keys = keyTable();
    for (int n = 0; n < 4; ++n) {
        Configuration c = defaultConfiguration();
        c.powerOnDelay = static_cast<std::uint8_t>(n * 10);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            const int i = n * kChannelCount + ch;
            ChannelSettings &r = c.channels[static_cast<std::size_t>(ch)];
            r.steps = static_cast<std::uint8_t>(1 + (n + ch) % kDirectionalSteps);
            r.hysteresis = static_cast<std::uint8_t>(i % 3);
            r.repeat = static_cast<std::uint8_t>(i % 2);
            r.preload = static_cast<std::uint8_t>(i / 2 % 2);
            r.periodic = static_cast<std::uint8_t>(i * 37 % 101);
            r.mode = static_cast<std::uint8_t>(i % 4);
            r.axis = i < int(axes.size()) ? axes[static_cast<std::size_t>(i)].code : 0x12;
            for (int s = 0; s < kMaxSections; ++s) {
                r.keys[static_cast<std::size_t>(s)] =
                    keys[static_cast<std::size_t>(i * 7 + s) % keys.size()].code;
                r.keyOperators[static_cast<std::size_t>(s)] =
                    static_cast<std::uint8_t>((i + s) % 8);
            }
        }
        spread.push_back(c);
    }
    return spread;
}

// The object without its names (names = false) or without its codes; "channels" stays.
QJsonObject onlyForm(const QJsonObject &object, bool names)
{
    QJsonObject result;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool isName =
            it.key().endsWith("Name") || it.key().endsWith("Names") || it.key() == "outputs";
        if (it.key() != "channels" && isName == names)
            result.insert(it.key(), it.value());
    }
    if (object.contains("channels")) {
        QJsonArray channels;
        for (const QJsonValue channel : object["channels"].toArray())
            channels.append(onlyForm(channel.toObject(), names));
        result["channels"] = channels;
    }
    return result;
}

// What `show --json` prints composes to the file it was printed from, from both forms together
// (and without the names older versions did not print), from the codes alone and from the names
// alone.
TEST(ConfigJson, EveryPrintedConfigurationComposesToTheSameBytesFromEitherForm)
{
    std::vector<Configuration> spread = spreadOfConfigurations();
    spread[0].channels[0].periodic = 100;           // the longest interval, "10.0 sec"
    Configuration unnamed = defaultConfiguration(); // only the codes can say these
    unnamed.channels[1].keys[0] = 0xFF;
    unnamed.channels[1].keyOperators[1] = 0xF9;
    spread.push_back(unnamed);
    for (std::size_t n = 0; n < spread.size(); ++n) {
        ConfigModel model;
        ASSERT_TRUE(decodeImage(model, encodeImage(spread[n])));
        const QByteArray file = bytesOf(encodeImage(model));
        QJsonObject printed = ConfigJson::toJson(model);
        QJsonObject older = printed;
        QJsonArray olderChannels;
        for (const QJsonValue channel : printed["channels"].toArray()) {
            QJsonObject object = channel.toObject();
            object.remove("repeatName");
            object.remove("preloadName");
            olderChannels.append(object);
        }
        older["channels"] = olderChannels;
        std::vector<QJsonObject> forms = {printed, older, onlyForm(printed, false)};
        if (n + 1 < spread.size())
            forms.push_back(onlyForm(printed, true));
        for (std::size_t f = 0; f < forms.size(); ++f) {
            ConfigModel composed;
            ConfigJson json;
            ASSERT_TRUE(json.fromJson(QJsonDocument(forms[f]).toJson(), composed))
                << n << ' ' << f << ' ' << json.errorString().toStdString();
            EXPECT_EQ(bytesOf(encodeImage(composed)), file) << n << ' ' << f;
        }
    }
    // Names are read as people write them.
    ConfigModel model;
    model.replaceConfiguration(defaultConfiguration());
    QJsonObject written = onlyForm(ConfigJson::toJson(model), true);
    QJsonArray channels = written["channels"].toArray();
    channels[0] = QJsonObject{
        {"stepsName", 4},
        {"hysteresisName", " high"},
        {"repeatName", "ON"},
        {"preloadName", "off"},
        {"periodicName", 0.3},
        {"outputs", "joystick,keyboard"},
        {"axisName", "0x12"},
        {"keyNames", QJsonArray{"[shift] [ctrl] a", "page  up", "[alt] [ {", "Not Used"}}};
    written["channels"] = channels;
    written["powerOnDelayName"] = "7";
    ConfigJson json;
    ASSERT_TRUE(json.fromJson(QJsonDocument(written).toJson(), model))
        << json.errorString().toStdString();
    const ChannelSettings expected{2,         2,   {0x04, 0x4B, 0x2F, 0}, {3, 0, 4, 0}, 1, 3, 0,
                                   kModeBoth, 0x12};
    EXPECT_EQ(model.channel(0), expected);
    EXPECT_EQ(model.powerOnDelay(), 7);
}

// The JSON is checked field by field against the image decoder's limits and against itself; a
// refusal names the field and what to change, and leaves the model alone.
TEST(ConfigJson, RefusesWithTheFieldNamedAndLeavesTheModelAlone)
{
    ConfigModel sample;
    sample.replaceConfiguration(defaultConfiguration());
    const QByteArray good =
        QJsonDocument(ConfigJson::toJson(sample)).toJson(QJsonDocument::Compact);
    const auto with = [&good](const char *from, const char *to, int which = 0) {
        qsizetype at = -1;
        for (int i = 0; i <= which; ++i)
            at = good.indexOf(from, at + 1);
        return QByteArray(good).replace(at, qstrlen(from), to);
    };
    const auto without = [&sample](int channel, const QStringList &fields) {
        QJsonObject object = ConfigJson::toJson(sample);
        QJsonArray channels = object["channels"].toArray();
        QJsonObject edited = channels[channel].toObject();
        for (const QString &field : fields)
            edited.remove(field);
        channels[channel] = edited;
        object["channels"] = channels;
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    };
    const QByteArray noSteps = with("\"steps\":3,", "");
    const auto noStepsWith = [&noSteps](const char *from, const char *to) {
        return QByteArray(noSteps).replace(noSteps.indexOf(from), qstrlen(from), to);
    };
    const QString periodicHelp = "is not valid; periodicName takes Disabled, or seconds from 0.1 "
                                 "to 10 in tenths (\"0.5 sec\")";
    // clang-format off
    const std::pair<QByteArray, QString> cases[] = {
        {with("\"periodic\":0", "\"periodic\":101", 2),
         "channels[2].periodic: 101 is out of range 0-100 (periodic counts tenths of a second; "
         "periodicName takes seconds)"},
        {with("\"steps\":3", "\"steps\":16"),
         "channels[0].steps: 16 is out of range 1-6 (steps is a code: 1-5 for 2, 4, 8, 16 or 32 "
         "steps, 6 for Directional; stepsName takes the number of steps)"},
        {with("\"powerOnDelay\":0", "\"powerOnDelay\":31"), "powerOnDelay: 31 is out of range 0-30"},
        {with("\"keys\":[0,0", "\"keys\":[0,300", 1), "channels[1].keys[1]: 300 is out of range 0-255"},
        {with("\"keys\":[0,", "\"keys\":[", 1),
         "channels[1].keys: 7 entries, but 8 steps need exactly 8: add 1"},
        {noStepsWith("\"stepsName\":\"8\"", "\"stepsName\":\"4\""),
         "channels[0].keyNames: 8 entries, but 4 steps need exactly 4: remove 4"},
        {noStepsWith("\"stepsName\":\"8\"", "\"stepsName\":\"Directional\""),
         "channels[0].keyNames: 8 entries, but Directional needs exactly 2: remove 6"},
        {with("\"stepsName\":\"8\"", "\"stepsName\":\"16\""),
         "channels[0]: stepsName \"16\" and steps 3 disagree (steps 3 is \"8\"); change one to "
         "match the other, or remove one of them"},
        {with("\"Not Used\"", "\"[ctrl] Not Used\"", 9),
         "channels[1]: keyNames[1] \"[ctrl] Not Used\" and keyOperators[1] 0 disagree "
         "(keyOperators[1] 0 is no modifier); change one to match the other, or remove keys and "
         "keyOperators"},
        {with("\"Not Used\"", "\"A\""),
         "channels[0]: keyNames[0] \"A\" and keys[0] 0 disagree (keys[0] 0 is \"Not Used\"); change "
         "one to match the other, or remove keys and keyOperators"},
        {with("\"Not Used\"", "\"[meta] A\""),
         "channels[0].keyNames[0]: \"[meta]\" is not a modifier ([ctrl], [shift] or [alt])"},
        {with("\"Not Used\"", "\"Bee\""), "channels[0].keyNames[0]: \"Bee\" is not a key name"},
        {with("\"keyNames\":[\"Not Used\"", "\"keyNames\":[1"), "channels[0].keyNames[0]: 1 is not a string"},
        {with("\"hysteresisName\":\"Medium\"", "\"hysteresisName\":\"Mid\""),
         "channels[0].hysteresisName: \"Mid\" is not valid; hysteresisName takes Low, Medium or High"},
        {with("\"periodicName\":\"Disabled\"", "\"periodicName\":\"0.25 sec\""),
         "channels[0].periodicName: \"0.25 sec\" " + periodicHelp},
        {with("\"periodicName\":\"Disabled\"", "\"periodicName\":\"10.1\"", 1),
         "channels[1].periodicName: \"10.1\" " + periodicHelp},
        {with("\"powerOnDelayName\":\"Disabled\"", "\"powerOnDelayName\":\"31\""),
         "powerOnDelayName: \"31\" is not valid; powerOnDelayName takes Disabled, or 1 to 30 sec"},
        {with("\"periodicName\":\"Disabled\"", "\"periodicName\":\"often\"", 1),
         "channels[1].periodicName: \"often\" " + periodicHelp},
        {with("\"outputs\":\"Keyboard\"", "\"outputs\":true"), "channels[0].outputs: true is not a name"},
        {with("\"keyNames\":[", "\"x\":[", 4), "channels[4].x: unknown field; a channel has steps, "
         "stepsName, hysteresis, hysteresisName, repeat, repeatName, periodic, periodicName, preload, "
         "preloadName, mode, outputs, axis, axisName, keys, keyOperators, keyNames"},
        {without(5, {"keyNames", "keys"}),
         "channels[5]: keys is missing (give keys and keyOperators, or keyNames)"},
        {with("{\"channels\"", "{\"x\":0,\"channels\""),
         "x: unknown field; the configuration has powerOnDelay, powerOnDelayName, channels"},
        {with("\"keys\":[0,0,0,0,0,0,0,0]", "\"keys\":5", 2), "channels[2].keys: 5 is not an array"},
        {with("\"axis\":48", "\"axis\":2.5"), "channels[0].axis: 2.5 is not an integer"},
        {with("\"axis\":48", "\"axis\":-1e300"),
         "channels[0].axis: -1.0000000000000001e+300 is out of range 0-255"},
        {with("\"mode\":0,\"outputs\":\"Keyboard\",", "", 3), "channels[3]: neither mode nor outputs is given"},
        {"{\"powerOnDelay\":0,\"channels\":6}", "channels: 6 is not an array of 6 channels"},
        {"{\"powerOnDelay\":0,\"channels\":[1,2,3,4,5,6]}", "channels[0]: 1 is not an object"},
        {"[1, 2]", "expected a JSON object with powerOnDelay and channels"},
        {"{\"powerOnDelay\": 1,", "JSON syntax error at offset 19: unterminated object"}};
    // clang-format on
    for (const auto &[text, message] : cases) {
        ConfigModel model;
        editConfiguration(model, [](Configuration &c) { c.powerOnDelay = 7; });
        const Configuration before = model.configuration();
        ConfigJson json;
        EXPECT_FALSE(json.fromJson(text, model)) << message.toStdString();
        EXPECT_EQ(json.errorString(), message);
        EXPECT_EQ(model.configuration(), before);
    }
}

// A command works in one session: both devices attached at its start and released at its end,
// and only a written device restarted.  On a terminal the progress is redrawn in place.
TEST_F(CtlTest, ReadAndWriteMoveTheConfigurationInOneSession)
{
    devices.device(0).memory = sampleImage();
    EXPECT_EQ(run({"read", path("dev.orv")}),
              (Outcome{0, "The configuration was successfully read from the device\n", ""}));
    EXPECT_EQ(readFile(path("dev.orv")), decoded(sampleImage()));
    EXPECT_EQ(run({"write", path("in.orv"), "--device", "2"}),
              (Outcome{0, "The configuration was successfully saved to the device\n", ""}));
    EXPECT_EQ(decoded(devices.device(1).memory), decoded(sampleImage()));
    EXPECT_EQ(devices.device(1).memory[510], 'R');
    // Only the written device restarts; the other one was released.
    EXPECT_EQ(devices.device(0).restartCount, 0);
    EXPECT_EQ(devices.device(1).restartCount, 1);
    EXPECT_EQ(devices.device(0).attached, false);
    EXPECT_EQ(devices.openHandleCount(), 0);
    const QString progress = run({"write", path("in.orv")}, &devices, {}, true).err;
    EXPECT_TRUE(
        progress.startsWith("\r\x1b[KWriting configuration - 0%, Writing data - 0%\r\x1b[KWriting "
                            "configuration - 17%, Writing data - 0%\r\x1b[K"));
    EXPECT_TRUE(progress.endsWith("Writing configuration - 100%, Writing data - 100%\r\x1b[K"));
    EXPECT_FALSE(progress.contains('\n'));
}

// A failed command says why on standard error and exits with 1, leaving the file as it was, no
// device restarted and both released.
TEST_F(CtlTest, FailedTransfersSayWhyAndChangeNothing)
{
    writeFile(path("short.orv"), QByteArray(100, 'x'));
    using Arrange = std::function<void(VirtualDeviceAccess &)>;
    const auto nothing = [](VirtualDeviceAccess &) {
    };
    const QStringList readDev{"read", path("dev.orv")}, writeIn{"write", path("in.orv")};
    // clang-format off
    const std::tuple<Arrange, QStringList, QString> cases[] = {
        {[](auto &d) { d.setPresent(1, false); }, readDev + QStringList{"--device", "2"},
         "The ORVEX (2) was not found"},
        {[](auto &d) { d.device(0).memory[508] = 31; }, readDev, "Invalid configuration"},
        {[](auto &d) { d.failExchange(40); }, readDev, "Error while reading from the ORVEX (1)"},
        {nothing, {"read", path("none/dev.orv")},
         path("none/dev.orv") + ": Error saving file: the folder " + path("none") + " does not exist"},
        {[](auto &d) { d.setPresent(0, false); }, writeIn, "The ORVEX (1) was not found"},
        {[](auto &d) { d.failExchange(9); }, writeIn, "Error while writing to the ORVEX (1)"},
        {nothing, {"write", path("short.orv")},
         path("short.orv") + ": Invalid configuration file: it is 100 bytes long; a configuration "
                             "file is exactly 512 bytes"},
        {[](auto &d) { d.setPresent(0, false), d.setPresent(1, false); }, {"monitor"},
         "The ORVEX (1) was not found"}};
    // clang-format on
    for (const auto &[arrange, arguments, message] : cases) {
        VirtualDeviceAccess fresh;
        arrange(fresh);
        EXPECT_EQ(run(arguments, &fresh), (Outcome{1, "", message + '\n'}));
        EXPECT_EQ(readFile(path("dev.orv")), "old");
        EXPECT_EQ(fresh.device(0).restartCount, 0);
        EXPECT_EQ(fresh.openHandleCount(), 0);
        EXPECT_NE(fresh.device(0).attached, true);
        EXPECT_NE(fresh.device(1).attached, true);
    }
}

// A socket where no emulator listens is said to be that by every device command, rather than
// as devices that are not plugged in; "default" is where the emulator listens by default.
TEST_F(CtlTest, AnEmulatorThatDoesNotListenIsNamedWithItsSocket)
{
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path())); // each test has its own process
    const QString socket = path("none.sock");
    const QString named = "no emulator is listening at " + socket +
                          "; start it with orvex-emulator --socket " + socket + '\n';
    for (const QStringList &command :
         {QStringList{"devices"}, QStringList{"read", path("x.orv")},
          QStringList{"write", path("in.orv")}, QStringList{"monitor"}})
        EXPECT_EQ(run(command + QStringList{"--emulator", socket}, nullptr),
                  (Outcome{1, "", named}));
    EXPECT_EQ(run({"devices", "--emulator", "default"}, nullptr),
              (Outcome{1, "",
                       "no emulator is listening at " + path("orvex-emulator.sock") +
                           "; start it with orvex-emulator\n"}));
}

// Through the hidapi backend, on a composite device: what `devices` says of its interfaces and
// whether this user may use it.
TEST_F(CtlTest, DevicesListsTheInterfacesOfAHidapiDeviceAndWhetherThisUserMayUseIt)
{
    auto platform = std::make_unique<ScriptedHidPlatform>();
    ScriptedHidPlatform &script = *platform;
    HidapiDeviceAccess access{std::move(platform)};
    script.addComposite({InterfaceKind::Keyboard, InterfaceKind::Joystick, InterfaceKind::Vendor});
    EXPECT_TRUE(
        run({"devices"}, &access)
            .out.startsWith(
                "Device 1 (USB 04b4:6148): plugged in\n  HID interfaces:\n"
                "    /dev/hidraw0  usage page 0x0001  report 0: input 8, output 1 bytes\n"
                "    /dev/hidraw1  usage page 0x0001  report 0: input 3, output 0 bytes\n"
                "    /dev/hidraw2  usage page 0xff00  report 1: input 6, output 6 bytes  (used)\n"
                "  Access: usable\nDevice 2 (USB 04b4:6149): not plugged in\n\nudev rule: "));
    script.node(InterfaceKind::Vendor).openError = EACCES;
    script.node(InterfaceKind::Keyboard).descriptor.reset(); // sysfs would not say
    const Outcome denied = run({"devices"}, &access);
    EXPECT_EQ(denied.status, 1);
    EXPECT_TRUE(denied.out.contains("\n    /dev/hidraw0  usage page 0x0001  reports unknown\n"))
        << denied.out.toStdString();
    EXPECT_TRUE(denied.out.contains("\n  Access: permission denied for this user; in a terminal "
                                    "these commands fix it:\n    sudo "));
    EXPECT_TRUE(denied.out.endsWith("\nNo ORVEX can be used by this program now.\n"));

    // The virtual devices of --simulate, as text and as JSON.
    EXPECT_EQ(run({"devices", "--simulate"}, nullptr),
              (Outcome{0,
                       "Device 1 (USB 04b4:6148): plugged in\n  HID interfaces:\n"
                       "    in-process virtual device  usage page 0xff00  report 1: input 6, "
                       "output 6 bytes  (used)\n  Access: usable\n"
                       "Device 2 (USB 04b4:6149): not plugged in\n\n"
                       "udev rule: not needed for virtual devices\n",
                       ""}));
    const QJsonObject json =
        QJsonDocument::fromJson(run({"devices", "--simulate", "--json"}, nullptr).out.toUtf8())
            .object();
    EXPECT_EQ(json["devices"][0]["access"], "usable");
    EXPECT_FALSE(json["devices"][0].toObject().contains("holder")); // only for one in use
    EXPECT_EQ(json["devices"][0]["interfaces"][0]["used"], true);
    EXPECT_EQ(json["devices"][1]["present"], false);
    EXPECT_EQ(json["udevRule"]["needed"], false);
}

// On a terminal: a header, each poll redrawn over the last; every change of the link's state on
// standard error, after the redrawn line was ended.  Elsewhere one line per poll.
TEST_F(CtlTest, MonitorRedrawsOnATerminalAndEndsItsLineBeforeEachStateChange)
{
    MemoryConsole streams({}, true);
    ConfigModel model;
    model.resetSettings();
    devices.setPresent(1, false);
    DeviceSession session(devices, model, 0);
    session.begin();
    LiveMonitor monitor(session.link(), streams.console, {});
    ASSERT_TRUE(monitor.start());
    DeviceLink &link = session.link();
    const auto tick = [&link](void (DeviceLink::*tick)()) {
        (link.*tick)();
        link.waitUntilIdle();
    };
    devices.device(0).liveValues = {50, 0, 0, 0, 0, 200};
    tick(&DeviceLink::pollDevice);
    devices.setPresent(0, false);
    tick(&DeviceLink::pollDevice);
    tick(&DeviceLink::waitForDeviceTick);
    devices.setPresent(0, true);
    tick(&DeviceLink::waitForDeviceTick);
    tick(&DeviceLink::pollDevice);
    monitor.stop();
    tick(&DeviceLink::pollDevice); // a tick that came through after the end prints nothing
    EXPECT_EQ(streams.out.data(),
              "Ch1   Ch2   Ch3   Ch4   Ch5   Ch6 \n\r\x1b[K 50^    0     0     0     0   200^\n"
              "\r\x1b[K 50     0     0     0     0   200 \n");
    EXPECT_EQ(streams.err.data(), "Viewing device 1\nSearching for device...\nViewing device 1\n");
    for (const int polls : {1, 3}) { // the polls asked for, then the device let go
        EXPECT_EQ(run({"monitor", "--polls", QString::number(polls)}).out.count('\n'), polls);
        EXPECT_EQ(devices.device(0).attached, false);
    }
    devices.device(0).liveValues = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(
        run({"monitor", "--json", "--polls", "1"}).out.endsWith("\"values\":[1,2,3,4,5,6]}\n"));
}

} // namespace
} // namespace orvex::ctl

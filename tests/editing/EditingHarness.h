#pragma once

#include "core/config/ConfigModel.h"
#include "core/link/DeviceLink.h"
#include "core/backends/virtual/VirtualDeviceAccess.h"
#include "ui/dialogs/SettingsDialog.h"

#include <QWidget>
#include <memory>

namespace orvex::test {

// A model with the default configuration, the device link over the virtual device, a stand-in
// main window and, once opened, the one settings dialog of the run, which sees every poll.
struct EditingHarness
{
    ConfigModel model;
    VirtualDeviceAccess access;
    DeviceLink link{access, model};
    QWidget mainWindow;
    std::unique_ptr<SettingsDialog> dialog;

    EditingHarness()
    {
        mainWindow.setWindowTitle(QStringLiteral("ORVEX Configuration Utility"));
        model.resetSettings();
    }

    SettingsDialog &open(int channel)
    {
        if (!dialog) {
            dialog = std::make_unique<SettingsDialog>(model, &mainWindow);
            QObject::connect(&link, &DeviceLink::sampled, dialog.get(),
                             &SettingsDialog::showSample);
        }
        dialog->loadForm(channel);
        return *dialog;
    }

    template <typename T> T *control(const QString &name) const
    {
        T *found = dialog->findChild<T *>(name);
        Q_ASSERT_X(found != nullptr, "control", qPrintable(name));
        return found;
    }
};

} // namespace orvex::test

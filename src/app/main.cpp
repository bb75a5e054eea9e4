// zelvora: the ringtone maker's window. Reads no command line.

#include "app/main_form.h"
#include "app/preference_data_module.h"
#include "app/widget_application.h"
#include "app/widget_dialogs.h"
#include "audio/dialogs_service.h"
#include "cutter/cutter_progress_form.h"
#include "effects/equalizer_form.h"
#include "engine/engine.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char** argv)
{
    // The decoders take longer to load than the windows to open: the first
    // file opens without waiting for them.
    zv::engine::loadDecodersInBackground();
    TApplication app(argc, argv);
    app.setApplicationName(QString::fromLatin1(ApplicationTitle));
    InstallDialogs(std::make_unique<WidgetDialogs>());

    // Windows are freed in reverse: the preferences store writes its file
    // first, after the main window has freed the audio output on closing.
    TCutterProgressForm progressForm;
    TMainForm mainForm(progressForm);
    TPreferenceDataModule preferences(DefaultPreferencesPath());
    TEqualizerForm equalizer(preferences, QCoreApplication::applicationDirPath().toStdString() + "/eq");
    mainForm.SetEqualizerWindow(&equalizer);
    mainForm.show();
    const int result = app.exec();
    InstallDialogs(nullptr);
    return result;
}

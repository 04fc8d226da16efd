#pragma once

#include "app/PrefsFile.h"
#include "app/Services.h"
#include "core/ProgramPaths.h"
#include "platform/FilePicker.h"
#include "responder/Responder.h"
#include "ui/MainWindow.h"

namespace tessel::app {

// The picture every blocked request is sent: the five presets and a file of the user's choice.
class PictureSettings final {
public:
    PictureSettings(const Services& services, const ui::MenuItems& items, PrefsFile& prefs,
                    responder::Responder& responder, Settings& settings, core::ProgramPaths paths);

    // Takes the picture prefs.dat names for the reply and marks its preset, if it is one.
    void load();
    void choosePreset(int row);
    void choosePicture();

private:
    void use(std::string path);
    void mark(int row);

    const Services& services_;
    const ui::MenuItems& items_;
    PrefsFile& prefs_;
    responder::Responder& responder_;
    Settings& settings_;
    core::ProgramPaths paths_;
};

}  // namespace tessel::app

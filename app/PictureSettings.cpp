#include "app/PictureSettings.h"

#include "app/PathChecks.h"
#include "core/PicturePresets.h"

namespace tessel::app {

PictureSettings::PictureSettings(const Services& services, const ui::MenuItems& items,
                                 PrefsFile& prefs, responder::Responder& responder,
                                 Settings& settings, ProgramPaths paths)
    : services_(services),
      items_(items),
      prefs_(prefs),
      responder_(responder),
      settings_(settings),
      paths_(std::move(paths)),
      dialog_(services.picker) {}

void PictureSettings::load() {
    use(prefs_.inputPicturePath(paths_.prefs()));
    mark(ui::markedPreset(settings_.picturePath, paths_.directory));
}

void PictureSettings::use(std::string path) {
    settings_.picturePath = std::move(path);
    responder_.usePicture(settings_.picturePath);
}

void PictureSettings::mark(int row) {
    for (std::size_t each = 0; each < items_.presets.size(); ++each) {
        items_.presets[each].setChecked(static_cast<int>(each) == row);
    }
}

void PictureSettings::choosePreset(int row) {
    use(paths_.directory + ui::kPicturePresets.at(static_cast<std::size_t>(row)).written);
    prefs_.outputPicturePath(settings_.picturePath, paths_.prefs());
    mark(row);
}

void PictureSettings::choosePicture() {
    if (!chooseExistingFile(services_.box, dialog_, settings_.picturePath,
                            platform::Icon::Exclamation) ||
        !storablePath(services_.box, dialog_.fileName)) {
        return;
    }
    use(dialog_.fileName);
    const bool written = prefs_.outputPicturePath(settings_.picturePath, paths_.prefs());
    mark(ui::markedPreset(settings_.picturePath, paths_.directory));
    if (written) {
        services_.box.show("Picture set.");
    }
}

}  // namespace tessel::app

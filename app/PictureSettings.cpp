#include "app/PictureSettings.h"

#include "app/PathChecks.h"
#include "core/PicturePresets.h"

namespace tessel::app {

PictureSettings::PictureSettings(const Services& services, const ui::MenuItems& items,
                                 PrefsFile& prefs, responder::Responder& responder,
                                 Settings& settings, core::ProgramPaths paths)
    : services_(services),
      items_(items),
      prefs_(prefs),
      responder_(responder),
      settings_(settings),
      paths_(std::move(paths)) {}

void PictureSettings::load() {
    use(prefs_.inputPicturePath(paths_.prefs()));
    mark(core::markedPreset(settings_.picturePath, paths_.directory));
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
    use(paths_.directory + core::kPicturePresets.at(static_cast<std::size_t>(row)).written);
    prefs_.outputPicturePath(settings_.picturePath, paths_.prefs());
    mark(row);
}

void PictureSettings::choosePicture() {
    const auto chosen = chooseExistingFile(services_.box, services_.picker, settings_.picturePath,
                                           platform::Icon::Exclamation);
    if (!chosen || !storablePath(services_.box, *chosen)) {
        return;
    }
    use(*chosen);
    const bool written = prefs_.outputPicturePath(settings_.picturePath, paths_.prefs());
    mark(core::markedPreset(settings_.picturePath, paths_.directory));
    if (written) {
        services_.box.show("Picture set.");
    }
}

}  // namespace tessel::app

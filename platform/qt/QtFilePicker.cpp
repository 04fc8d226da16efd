#include "platform/qt/QtFilePicker.h"

#include <QFileDialog>
#include <QFileInfo>

#include "platform/qt/Text.h"

namespace tessel::platform {
namespace {

// "All Files (*.*)|*.*" pairs a description with its patterns; Qt wants "All Files (*)".
QString nameFilter(const std::string& filter) {
    const auto bar = filter.find('|');
    QString description = toDisplay(filter.substr(0, bar));
    description.replace(QStringLiteral("*.*"), QStringLiteral("*"));
    return description;
}

PickResult run(const PickRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog;
    dialog.setAcceptMode(mode);
    dialog.setFileMode(request.mustExist && mode == QFileDialog::AcceptOpen
                           ? QFileDialog::ExistingFile
                           : QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter(request.filter));
    const QFileInfo init(toPath(request.initDir));
    dialog.setDirectory(init.isDir() ? init.absoluteFilePath() : init.absolutePath());
    if (!request.fileName.empty()) {
        dialog.selectFile(toPath(request.fileName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {PickResult::Kind::Cancelled, {}};
    }
    return {PickResult::Kind::Chosen, fromPath(dialog.selectedFiles().constFirst())};
}

}  // namespace

PickResult QtFilePicker::pick(const PickRequest& request) {
    return run(request, QFileDialog::AcceptOpen);
}

PickResult QtFilePicker::pickSave(const PickRequest& request) {
    return run(request, QFileDialog::AcceptSave);
}

}  // namespace tessel::platform

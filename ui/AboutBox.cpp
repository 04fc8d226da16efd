#include "ui/AboutBox.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "ui/Pictures.h"

namespace tessel::ui {
namespace {

constexpr int kClientWidth = 3690;
constexpr int kClientHeight = 3540;
constexpr int kTitlePointSize = 18;
// Room the label and the borderless line edit need beside the text itself.
constexpr int kTextPadding = 8;

// The design widths suit the classic dialog fonts; where the desktop's fonts are wider a control
// grows about its own centre rather than clip its text.
void widenToFit(QWidget* control, const QString& text) {
    const int needed = control->fontMetrics().horizontalAdvance(text) + kTextPadding;
    const QRect place = control->geometry();
    if (needed > place.width()) {
        control->setGeometry(place.x() - (needed - place.width()) / 2, place.y(), needed,
                             place.height());
    }
}

QLabel* addLabel(QWidget* box, const char* name, const QString& text, const QRect& place,
                 const QFont& font) {
    auto* label = new QLabel(text, box);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    label->setGeometry(place);
    widenToFit(label, text);
    return label;
}

// Looks like a label on the dialog surface, yet its text can be selected and copied. Reachable
// by the mouse only, so the OK button keeps the tab order to itself.
QLineEdit* addContactLine(QWidget* box, const char* name, const QString& text, const QRect& place) {
    auto* line = new QLineEdit(text, box);
    line->setObjectName(QString::fromLatin1(name));
    line->setReadOnly(true);
    line->setFrame(false);
    line->setAlignment(Qt::AlignCenter);
    line->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    line->setPalette(palette);
    line->setGeometry(place);
    widenToFit(line, text);
    return line;
}

QFont titleFont() {
    QFont font(QStringLiteral("MS Serif"));
    font.setStyleHint(QFont::Serif);
    font.setPointSize(kTitlePointSize);
    return font;
}

}  // namespace

AboutBox::AboutBox(const QIcon& icon, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("About..."));
    setWindowIcon(icon);
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));

    // Created first: it heads the tab order and has the focus when the box opens.
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    ok->setGeometry(twipsRect(1298, 3000, 1095, 375));
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    addContactLine(this, "Text2", QStringLiteral("https://tessel.invalid/"),
                   twipsRect(518, 2640, 2655, 285));
    addLabel(this, "Label1", QStringLiteral("Tessel 2.1.1"), twipsRect(878, 120, 1935, 375),
             titleFont());
    addLabel(this, "Label2", QStringLiteral("by the Tessel developers"),
             twipsRect(1298, 600, 1095, 255), font());
    addContactLine(this, "Text3", QStringLiteral("tessel@tessel.invalid"),
                   twipsRect(998, 840, 1695, 195));
}

}  // namespace tessel::ui

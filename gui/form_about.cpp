#include "gui/form_about.h"

#include "util/shell.h"
#include "util/version.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace era {

namespace {
// The product name of the caption, cut to 14 characters.
const QString ProductName = QStringLiteral("Vexilant");
} // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About ") + ProductName.left(14));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    LabeledEditApplication = new QLineEdit;
    LabeledEditApplication->setObjectName(QStringLiteral("LabeledEditApplication"));
    LabeledEditApplication->setReadOnly(true);
    LabeledEditVersion = new QLineEdit;
    LabeledEditVersion->setObjectName(QStringLiteral("LabeledEditVersion"));
    LabeledEditVersion->setReadOnly(true);
    form->addRow(QStringLiteral("Application: "), LabeledEditApplication);
    form->addRow(QStringLiteral("Version: "), LabeledEditVersion);
    layout->addLayout(form);
    LabelWS = new QLabel;
    LabelWS->setObjectName(QStringLiteral("LabelWS"));
    LabelWS->setCursor(Qt::PointingHandCursor);
    LabelWS->installEventFilter(this);
    layout->addWidget(LabelWS, 0, Qt::AlignHCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

void TFormAbout::Fill(const std::string& appIdentity, const std::string& address) {
    LabeledEditApplication->setText(QString::fromStdString(appIdentity));
    LabeledEditVersion->setText(QString::fromLatin1(VersionText));
    LabelWS->setText(QString::fromStdString(address));
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelWS && event->type() == QEvent::MouseButtonRelease) {
        LabelWSClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormAbout::LabelWSClick() {
    OpenDocument(LabelWS->text().toStdString());
}

} // namespace era

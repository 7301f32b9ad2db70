#pragma once

// The about box: the application identity, the version and the maker's web address.

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;

namespace era {

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);
    // Shows the identity, the version text and the address (the main window does it when shown).
    void Fill(const std::string& appIdentity, const std::string& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LabelWSClick();

    QLineEdit* LabeledEditApplication = nullptr;
    QLineEdit* LabeledEditVersion = nullptr;
    QLabel* LabelWS = nullptr;
};

} // namespace era

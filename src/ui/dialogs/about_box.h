#pragma once

#include <QDialog>

class QLabel;

namespace sonarch {

class ShellOpener;

// The about box: the product, its version and the two links (a click on the address writes
// a mail, a double-click on the web site opens it). Modal; it deletes itself when closed.
class frmAboutCD : public QDialog {
    Q_OBJECT
public:
    explicit frmAboutCD(QWidget* parent);

    ShellOpener& shell() { return *m_shell; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void Form_Load();
    void Label2_Click();
    void lblDisclaimer_DblClick();

    ShellOpener* m_shell;
    QLabel *lblVersion, *Label2, *lblDisclaimer;
};

}  // namespace sonarch

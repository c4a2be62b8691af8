#include "ui/dialogs/about_box.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "desktop/open_with_shell.h"
#include "desktop/product_info.h"
#include "desktop/version_text.h"
#include "layout/window_places.h"

namespace sonarch {

namespace {

constexpr int kShowNormal = 10;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    return label;
}

}  // namespace

frmAboutCD::frmAboutCD(QWidget* parent) : QDialog(parent), m_shell(new ShellOpener(this)) {
    setObjectName("frmAboutCD");
    setWindowTitle("About");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(toPixels(6600), toPixels(3300));
    createControls();
    Form_Load();
}

void frmAboutCD::createControls() {
    auto* picIcon = makeLabel(this, "picIcon", {}, 240, 240, 960, 960);
    const QIcon icon = parentWidget() ? parentWidget()->windowIcon() : windowIcon();
    picIcon->setPixmap(icon.pixmap(64, 64));
    auto* title = makeLabel(this, "lblTitle", "Sonarch CD Player", 1440, 240, 5000, 480);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    lblVersion = makeLabel(this, "lblVersion", "Version", 1440, 780, 5000, 255);
    auto* description = makeLabel(
        this, "lblDescription",
        "Plays audio CDs and shows their titles, ratings and cover from your own library.", 1440,
        1110, 5000, 480);
    description->setWordWrap(true);
    makeLabel(this, "Label1", "Made by the Sonarch developers.", 1440, 1680, 5000, 255);
    Label2 = makeLabel(this, "Label2", QString::fromStdString("Email: " + SupportAddress()), 1440,
                       2040, 5000, 255);
    lblDisclaimer =
        makeLabel(this, "lblDisclaimer", QString::fromStdString("Website: " + ProductWebPage()),
                  1440, 2340, 5000, 255);
    for (QLabel* link : {Label2, lblDisclaimer}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    ok->setGeometry(toPixels(5360), toPixels(2760), toPixels(1000), toPixels(360));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void frmAboutCD::Form_Load() {
    lblVersion->setText(QString::fromStdString(ProgramVersionText()));
}

bool frmAboutCD::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label2_Click();
        return true;
    }
    if (watched == lblDisclaimer && event->type() == QEvent::MouseButtonDblClick) {
        lblDisclaimer_DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAboutCD::Label2_Click() {
    m_shell->OpenWithShell("mailto:" + SupportAddress(), kShowNormal, "", "", "open");
}

void frmAboutCD::lblDisclaimer_DblClick() {
    m_shell->OpenWithShell(ProductWebPage(), kShowNormal, "", "", "open");
}

}  // namespace sonarch

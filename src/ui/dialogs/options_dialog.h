#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "desktop/desktop_registration.h"

class QCheckBox;
class QFileDialog;
class QLineEdit;

namespace sonarch {

class Player;

// What a file-open dialog is opened with: its title, the name filter, the folder it shows
// and the name it starts with in its file name field.
struct BrowseRequest {
    QString title;
    QString filter;
    QString folder;
    QString fileName;
};
// A file-open dialog: the chosen file, or nothing when the user cancels.
using FileChooser =
    std::function<std::optional<QString>(QWidget* parent, const BrowseRequest& request)>;
// The desktop's own file-open dialog, made as systemFileChooser shows it.
std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, const BrowseRequest& request);
FileChooser systemFileChooser();

// The options dialog: the library file, the fast forward and rewind step, the rating display
// and the default CD player. Non-modal and above other windows; the player's poll stands
// still while it is open. The first three take effect on "OK"; the default CD player the
// moment its box is clicked.
class frmCDOption : public QDialog {
    Q_OBJECT
public:
    frmCDOption(Player& player, DesktopRegistration registration, QWidget* parent);
    ~frmCDOption() override;

    // The browse dialog; tests put a chooser of their own here.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // Every way of closing ends here: OK, Cancel, the close box, Escape.
    void done(int result) override;

private:
    void createControls();
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Check1_MouseUp();
    void Check2_Click(bool ticked);
    void Command2_Click();
    // A short note in plain words beside a control, that never blocks.
    void tell(QWidget* control, const QString& text);

    Player& m_player;
    DesktopRegistration m_registration;
    FileChooser m_chooseFile;
    std::string m_storedPath;  // the library path as stored, byte for byte
    bool m_unloaded = false;

    QLineEdit *tDB, *tSpeed;
    QCheckBox *Check1, *Check2;
};

}  // namespace sonarch

#pragma once

#include <QWidget>

#include "layout/twips.h"

class QPlainTextEdit;
class QPushButton;

namespace sonarch {

struct EditorLayout {
    QString name;      // frmtrkCom, frmAlbCom
    QString caption;   // "Track Comment", "Album Comment"
    QString textName;  // tCom, aCom
    TwipSize client;
    TwipRect text, update, cancel;
};

// A small non-modal editor of one comment. "Update" (or Enter) asks to save; the owner
// saves and closes it. "Cancel" (or Escape) closes it without saving. It deletes itself
// when closed.
class CommentEditor : public QWidget {
    Q_OBJECT
public:
    CommentEditor(const EditorLayout& layout, QWidget* parent);

    QString text() const;
    void setText(const QString& text);

    static EditorLayout trackLayout();
    static EditorLayout albumLayout();

signals:
    void updateRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* m_text;
};

}  // namespace sonarch

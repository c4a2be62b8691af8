#include "ui/dialogs/comment_editor.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/placement.h"

namespace sonarch {

EditorLayout CommentEditor::trackLayout() {
    return {"frmtrkCom",
            "Track Comment",
            "tCom",
            TwipSize{4800, 1965},
            TwipRect{45, 45, 4740, 1500},
            TwipRect{2745, 1620, 915, 285},
            TwipRect{3735, 1620, 915, 285}};
}

EditorLayout CommentEditor::albumLayout() {
    return {"frmAlbCom",
            "Album Comment",
            "aCom",
            TwipSize{4815, 2130},
            TwipRect{45, 90, 4740, 1500},
            TwipRect{2745, 1755, 915, 285},
            TwipRect{3780, 1755, 915, 285}};
}

CommentEditor::CommentEditor(const EditorLayout& layout, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(layout.name);
    setWindowTitle(layout.caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(toPixels(layout.client.width), toPixels(layout.client.height));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(layout.textName);
    m_text->setGeometry(toPixelRect(layout.text));
    m_text->installEventFilter(this);
    auto* update = new QPushButton("Update", this);
    update->setObjectName("Command1");
    update->setGeometry(toPixelRect(layout.update));
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Command2");
    cancel->setGeometry(toPixelRect(layout.cancel));
    connect(update, &QPushButton::clicked, this, &CommentEditor::updateRequested);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

QString CommentEditor::text() const {
    return m_text->toPlainText();
}

void CommentEditor::setText(const QString& text) {
    m_text->setPlainText(text);
}

bool CommentEditor::eventFilter(QObject* watched, QEvent* event) {
    // Enter saves; Shift+Enter still starts a new line in the comment.
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & Qt::ShiftModifier)) {
            emit updateRequested();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CommentEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace sonarch

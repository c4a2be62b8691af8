#include "librarian/first_use_page.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonarch {

FirstUsePage::FirstUsePage(QWidget* parent) : QWidget(parent) {
    setObjectName("firstUsePage");
    m_text = new QLabel(this);
    m_text->setObjectName("firstUseText");
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_create = new QPushButton("&Create the library", this);
    m_create->setObjectName("createLibrary");
    m_create->setDefault(true);
    auto* elsewhere = new QPushButton("Create it &elsewhere\u2026", this);
    elsewhere->setObjectName("createLibraryElsewhere");
    auto* open = new QPushButton("&Open a library\u2026", this);
    open->setObjectName("openLibrary");
    auto* import = new QPushButton("&Import an old library\u2026", this);
    import->setObjectName("importLibrary");
    import->setToolTip("Make a new library from one in the old Access format (*.dbd, *.mdb)");

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_text);
    layout->addSpacing(12);
    for (QPushButton* button : {m_create, elsewhere, open, import}) {
        layout->addWidget(button, 0, Qt::AlignLeft);
    }
    layout->addStretch(2);

    connect(m_create, &QPushButton::clicked, this, &FirstUsePage::createRequested);
    connect(elsewhere, &QPushButton::clicked, this, &FirstUsePage::createElsewhereRequested);
    connect(open, &QPushButton::clicked, this, &FirstUsePage::openRequested);
    connect(import, &QPushButton::clicked, this, &FirstUsePage::importRequested);
}

void FirstUsePage::show(const QString& why, const QString& suggested) {
    m_text->setText(why +
                    "\n\nA library keeps the names, ratings, comments and covers of your "
                    "discs; the player shows them, and lets you rate the tracks. Create one at "
                    "\u201c" +
                    suggested + "\u201d?");
    m_create->setFocus();
}

}  // namespace sonarch

#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace sonarch {

// What the window shows while it has no library: why, and the ways to one (a new library
// where the player keeps its files, or elsewhere; an existing one; an old one imported).
class FirstUsePage : public QWidget {
    Q_OBJECT
public:
    explicit FirstUsePage(QWidget* parent = nullptr);

    // `why`: the sentence that says why there is no library; `suggested`: where "Create
    // the library" makes it.
    void show(const QString& why, const QString& suggested);

signals:
    void createRequested();
    void createElsewhereRequested();
    void openRequested();
    void importRequested();

private:
    QLabel* m_text;
    QPushButton* m_create;
};

}  // namespace sonarch

#pragma once

#include <QWidget>

class QLineEdit;

namespace sonarch {

// An up-down spinner attached to a text box: its arrows step the whole number in the box
// by one within a range. A text that is not a number counts as the lowest value.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(const QString& name, QLineEdit* buddy, int minimum, int maximum, QWidget* parent);

private:
    void step(int by);

    QLineEdit* m_buddy;
    int m_minimum;
    int m_maximum;
};

}  // namespace sonarch

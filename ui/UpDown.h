#pragma once
// A spinner: two arrow buttons holding a 16-bit signed position within a
// range, without wrap. Bound to an edit box it reads its position from the
// box's text and writes it back after each step. Setting the range or the
// position from code fires nothing; only the user's use of the arrows does.
#include <QWidget>
#include <cstdint>
#include <optional>

class QLineEdit;
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
public:
    enum class Button { Next, Previous };  // the up and the down arrow

    explicit UpDown(QWidget* parent);

    void setRange(int minimum, int maximum);
    void setMaximum(int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // With an edit box bound: its text when that is a whole number within
    // the range (thousands separators allowed), else the previous position.
    int position();
    // The edit box's text as a position, when it is one.
    std::optional<int> buddyValue() const;
    // Kept within the range; the edit box is not rewritten.
    void setPosition(int position);

    // Binds the edit box: its text is the position, and its up and down
    // arrow keys work the spinner.
    void setBuddy(QLineEdit* buddy);
    QLineEdit* buddy() const { return m_buddy; }

    // One press of an arrow, as the user makes it.
    void step(Button button);

signals:
    // An arrow was pressed; the position has not changed yet.
    void changing();
    // The user changed the position.
    void clicked(UpDown::Button button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int16_t clamp(int value) const;

    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_buddy = nullptr;
    int16_t m_minimum = 0;
    int16_t m_maximum = 100;
    int16_t m_position = 0;
};

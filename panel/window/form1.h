// The operator panel's window: every cell, button and option box at its design place, in twips
// shown at 15 twips a pixel. It shows the core's cell texts and forwards clicks and ticks to it;
// it decides nothing itself.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>

#include "panel/window/cell_box.h"
#include "panel/panel_logic.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sensor {

class Form1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kPanelWidthTwips = 12195;
    static constexpr int kPanelHeightTwips = 6735;

    explicit Form1(PanelLogic& logic, QWidget* parent = nullptr);

    // The control arrays by index; nullptr outside the array.
    CellBox* Text1(int index) const;
    CellBox* Text2(int index) const;
    QLabel* Label1(int index) const;
    QLineEdit* Text3() const { return text3_; }
    QPushButton* Command1() const { return command_[0]; }
    QPushButton* Command2() const { return command_[1]; }
    QPushButton* Command3() const { return command_[2]; }
    QPushButton* Command4() const { return command_[3]; }
    QPushButton* Command5() const { return command_[4]; }
    QPushButton* Command6() const { return command_[5]; }
    QCheckBox* Check1() const { return check1_; }
    QCheckBox* Check2() const { return check2_; }
    QTimer* Timer1() { return &timer1_; }

    // Copies every text the core changed, the option boxes and the timer's state from the core
    // now; the session calls it on the display tick while frames arrive.
    void refresh();

    // The measurement cells show readings older than the line's last news: drawn as disabled
    // until the next frame.
    void set_stale(bool stale);
    bool stale() const { return stale_; }

    void Timer1_Timer();

signals:
    // A click was taken: sent, refused by the group guard, or kept for a board that is away.
    void command_taken(sensor::CommandOutcome outcome);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void after_command(CommandOutcome outcome);

    PanelLogic& logic_;
    std::array<CellBox*, 16> text1_{};
    std::array<CellBox*, 3> text2_{};
    std::array<QLabel*, 11> label1_{};
    QLineEdit* text3_ = nullptr;
    std::array<QPushButton*, 6> command_{};
    QCheckBox* check1_ = nullptr;
    QCheckBox* check2_ = nullptr;
    QTimer timer1_;
    CellStore copied_;  // the core's texts as last copied to the widgets
    bool stale_ = false;
};

}  // namespace sensor

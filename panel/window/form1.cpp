#include "panel/window/form1.h"

#include <QCheckBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <utility>
#include <vector>

namespace sensor {
namespace {

struct Twips {
    int left, top, width, height;
};

QRect pixels(const Twips& t) {
    const auto px = [](int twips) { return qRound(twips / double(Form1::kTwipsPerPixel)); };
    return {px(t.left), px(t.top), px(t.width), px(t.height)};
}

enum class Face { TimesNewRoman, CourierNew, MsSansSerif };

QFont panel_font(Face face, double points, bool bold = false, bool italic = false) {
    QFont font;
    switch (face) {
    case Face::TimesNewRoman:
        font.setFamily(QStringLiteral("Times New Roman"));
        font.setStyleHint(QFont::Serif);
        break;
    case Face::CourierNew:
        font.setFamily(QStringLiteral("Courier New"));
        font.setStyleHint(QFont::TypeWriter);
        break;
    case Face::MsSansSerif:
        font.setFamily(QStringLiteral("MS Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
        break;
    }
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

// A check box whose caption wraps within the box's width, as the panel's two option boxes need:
// their captions are longer than one line. The whole face takes the click, caption included.
class WrappingCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        QRect indicator = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
        indicator.moveTop((height() - indicator.height()) / 2);
        QStyleOptionButton box = option;
        box.rect = indicator;
        painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
        const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
        const QRect text_rect(indicator.right() + 1 + spacing, 0, width() - indicator.right() - 1 - spacing, height());
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, caption);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = painter.boundingRect(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, caption);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A text goes to its widget only when the core changed it since the last copy, so what the user
// typed into the run clock stays until start-up, "CLEAR" or a tick writes it.
void show_text(CellBox* cell, const std::string& text, std::string& copied) {
    if (text == copied) return;
    copied = text;
    cell->setText(QString::fromStdString(text));
}

void show_text(QLineEdit* cell, const std::string& text, std::string& copied) {
    if (text == copied) return;
    copied = text;
    const QString shown = QString::fromStdString(text);
    cell->setText(shown);
    // A long value does not fit its cell; its whole text is a hover away.
    cell->setToolTip(shown);
    // A text longer than its cell shows from its start, as a text box does when its text is set.
    cell->setCursorPosition(0);
}

void show_text(QPushButton* button, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (button->text() != shown) button->setText(shown);
}

}  // namespace

Form1::Form1(PanelLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(panel_font(Face::TimesNewRoman, 12));
    // The panel's client area, exactly; the window around it never squeezes it.
    setFixedSize(pixels({0, 0, kPanelWidthTwips, kPanelHeightTwips}).size());

    std::vector<std::pair<int, QWidget*>> tab_order;

    const auto place = [&](QWidget* w, const QString& name, const Twips& at, int tab) {
        w->setObjectName(name);
        w->setGeometry(pixels(at));
        if (tab >= 0) tab_order.emplace_back(tab, w);
    };

    const auto make_cell = [&](const QString& name, const Twips& at, const QFont& font, int tab) {
        auto* cell = new CellBox(this);
        cell->setFont(font);
        place(cell, name, at, tab);
        return cell;
    };

    const auto make_button = [&](const QString& name, const QString& caption, const Twips& at,
                                 const QFont* font, int tab) {
        auto* button = new QPushButton(caption, this);
        if (font) button->setFont(*font);
        button->setAutoDefault(false);
        button->installEventFilter(this);  // Enter clicks a focused button, as Space does
        place(button, name, at, tab);
        return button;
    };

    const QFont sans = panel_font(Face::MsSansSerif, 8.25);
    const QFont sans_bold_italic = panel_font(Face::MsSansSerif, 8.25, true, true);
    const QFont courier_check = panel_font(Face::CourierNew, 8.25);
    const QFont courier_big = panel_font(Face::CourierNew, 18, true, true);
    const QFont courier_reset = panel_font(Face::CourierNew, 11.25, true, true);
    const QFont label_font = panel_font(Face::CourierNew, 11.25, false, true);
    const QFont cell_font = panel_font(Face::TimesNewRoman, 14.25);
    const QFont clock_font = panel_font(Face::TimesNewRoman, 18);

    command_[0] = make_button("Command1", "START", {240, 240, 1335, 735}, &courier_big, 0);
    // The run clock stays a line edit: the operator may type into it.
    text3_ = new QLineEdit(this);
    text3_->setFont(clock_font);
    text3_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    place(text3_, "Text3", {2040, 360, 1575, 495}, 17);
    command_[4] = make_button("Command5", "CLEAR", {4200, 360, 855, 495}, &sans, 18);
    command_[2] = make_button("Command3", "Reset", {9720, 360, 855, 495}, &courier_reset, 8);
    command_[3] = make_button("Command4", "IR", {240, 1680, 855, 495}, &sans_bold_italic, 7);
    text2_[0] = make_cell("Text2_0", {1320, 1800, 615, 315}, sans, 9);
    command_[1] = make_button("Command2", "US", {240, 2880, 855, 495}, &sans_bold_italic, 3);
    text2_[1] = make_cell("Text2_1", {1320, 3000, 615, 315}, sans, 10);

    check1_ = new WrappingCheckBox(QStringLiteral("US Short Distance Measurement ENABLED"), this);
    check1_->setFont(courier_check);
    place(check1_, "Check1", {240, 3600, 2295, 615}, 5);
    check2_ = new WrappingCheckBox(QStringLiteral("US Interference Control Override ENABLED"), this);
    check2_->setFont(courier_check);
    place(check2_, "Check2", {240, 4320, 2655, 615}, 6);

    command_[5] = make_button("Command6", "Ground", {240, 5160, 855, 495}, nullptr, 20);
    text2_[2] = make_cell("Text2_2", {1320, 5280, 615, 315}, sans, 21);

    struct LabelRow {
        const char* caption;
        Twips at;
        int tab;
    };
    static constexpr LabelRow kLabels[11] = {
        {"Output IR", {3000, 1800, 1455, 255}, 11},         {"TOF US", {3360, 3360, 1095, 255}, 4},
        {"Distance US (m)", {3360, 3960, 1095, 615}, 16},   {"Distance IR (cm)", {3000, 2400, 1455, 615}, 30},
        {"Lijn", {2760, 6000, 1695, 255}, 33},              {"Ground IR", {2760, 5280, 1695, 255}, 19},
        {"Module 1", {4560, 1320, 1455, 255}, 34},          {"Module 2", {6840, 1320, 1455, 255}, 35},
        {"Module 3", {8880, 1320, 1455, 255}, 36},          {"Ground 1", {4560, 4800, 1455, 255}, 37},
        {"Ground 2", {6840, 4800, 1455, 255}, 38},
    };
    for (int i = 0; i < 11; ++i) {
        auto* label = new QLabel(QString::fromLatin1(kLabels[i].caption), this);
        label->setFont(label_font);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        label->setProperty("tabIndex", kLabels[i].tab);  // labels take no focus; kept for the record
        place(label, QStringLiteral("Label1_%1").arg(i), kLabels[i].at, -1);
        label1_[static_cast<std::size_t>(i)] = label;
    }

    // Left, Top, Height and Tab; every measurement cell is 1215 wide.
    struct CellRow {
        int left, top, height, tab;
    };
    static constexpr CellRow kCells[16] = {
        {4680, 1680, 525, 1},  {4680, 3240, 495, 2},  {6960, 1680, 525, 12}, {6960, 3240, 525, 13},
        {9000, 1680, 525, 22}, {9000, 3240, 525, 23}, {4680, 4080, 495, 14}, {6960, 4080, 495, 15},
        {9000, 4080, 525, 24}, {4680, 5160, 525, 25}, {6960, 5160, 525, 26}, {4680, 2400, 525, 27},
        {6960, 2400, 525, 28}, {9000, 2400, 525, 29}, {4680, 5880, 525, 31}, {6960, 5880, 525, 32},
    };
    for (int i = 0; i < 16; ++i) {
        const CellRow& row = kCells[i];
        text1_[static_cast<std::size_t>(i)] =
            make_cell(QStringLiteral("Text1_%1").arg(i), {row.left, row.top, 1215, row.height}, cell_font, row.tab);
    }

    // A screen reader names each reading by its row and column, as a sighted reader finds it.
    static constexpr const char* kShows[16] = {
        "Output IR, Module 1",        "TOF US, Module 1",           "Output IR, Module 2",
        "TOF US, Module 2",           "Output IR, Module 3",        "TOF US, Module 3",
        "Distance US (m), Module 1",  "Distance US (m), Module 2",  "Distance US (m), Module 3",
        "Ground IR, Ground 1",        "Ground IR, Ground 2",        "Distance IR (cm), Module 1",
        "Distance IR (cm), Module 2", "Distance IR (cm), Module 3", "Lijn, Ground 1",
        "Lijn, Ground 2",
    };
    // And hears what kind of value it is, in its own words; the value itself is the cell's text.
    static constexpr const char* kKinds[16] = {
        "infrared reading, 0 to 1023",        "ultrasonic time of flight, 1800 units a foot",
        "infrared reading, 0 to 1023",        "ultrasonic time of flight, 1800 units a foot",
        "infrared reading, 0 to 1023",        "ultrasonic time of flight, 1800 units a foot",
        "ultrasonic distance in metres",      "ultrasonic distance in metres",
        "ultrasonic distance in metres",      "ground infrared reading, 0 to 1023",
        "ground infrared reading, 0 to 1023", "infrared distance in centimetres, ERR too close, OK nothing in range",
        "infrared distance in centimetres, ERR too close, OK nothing in range",
        "infrared distance in centimetres, ERR too close, OK nothing in range",
        "black over a dark line, white over a light floor",
        "black over a dark line, white over a light floor",
    };
    for (std::size_t i = 0; i < text1_.size(); ++i) {
        text1_[i]->setAccessibleName(QString::fromLatin1(kShows[i]));
        text1_[i]->setAccessibleDescription(QString::fromLatin1(kKinds[i]));
    }
    text2_[0]->setAccessibleName(QStringLiteral("IR group"));
    text2_[1]->setAccessibleName(QStringLiteral("US group"));
    text2_[2]->setAccessibleName(QStringLiteral("Ground group"));
    text3_->setAccessibleName(QStringLiteral("Run clock"));

    std::sort(tab_order.begin(), tab_order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i + 1 < tab_order.size(); ++i)
        QWidget::setTabOrder(tab_order[i].second, tab_order[i + 1].second);

    connect(Command1(), &QPushButton::clicked, this, [this] { after_command(logic_.Command1_Click()); });
    connect(Command2(), &QPushButton::clicked, this, [this] { after_command(logic_.Command2_Click()); });
    connect(Command3(), &QPushButton::clicked, this, [this] { after_command(logic_.Command3_Click()); });
    connect(Command4(), &QPushButton::clicked, this, [this] { after_command(logic_.Command4_Click()); });
    connect(Command5(), &QPushButton::clicked, this, [this] {
        logic_.Command5_Click();
        refresh();
    });
    connect(Command6(), &QPushButton::clicked, this, [this] { after_command(logic_.Command6_Click()); });
    // Every change of a box by the operator (a click, Space, an assistive tool's Toggle) is a click
    // of the panel's; the core's own changes come back under a blocker in refresh().
    connect(check1_, &QCheckBox::toggled, this, [this] { after_command(logic_.Check1_Click()); });
    connect(check2_, &QCheckBox::toggled, this, [this] { after_command(logic_.Check2_Click()); });

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(1000);
    connect(&timer1_, &QTimer::timeout, this, &Form1::Timer1_Timer);

    // The widgets start empty; the first refresh copies every text the core holds.
    for (auto& t : copied_.Text1) t.clear();
    for (auto& t : copied_.Text2) t.clear();
    copied_.Text3.clear();
    refresh();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->animateClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::set_stale(bool stale) {
    if (stale == stale_) return;
    stale_ = stale;
    for (CellBox* cell : text1_) cell->set_stale(stale);
}

CellBox* Form1::Text1(int index) const {
    return index >= 0 && index < int(text1_.size()) ? text1_[static_cast<std::size_t>(index)] : nullptr;
}

CellBox* Form1::Text2(int index) const {
    return index >= 0 && index < int(text2_.size()) ? text2_[static_cast<std::size_t>(index)] : nullptr;
}

QLabel* Form1::Label1(int index) const {
    return index >= 0 && index < int(label1_.size()) ? label1_[static_cast<std::size_t>(index)] : nullptr;
}

void Form1::refresh() {
    const CellStore& cells = logic_.cells();
    for (std::size_t i = 0; i < text1_.size(); ++i) show_text(text1_[i], cells.Text1[i], copied_.Text1[i]);
    for (std::size_t i = 0; i < text2_.size(); ++i) show_text(text2_[i], cells.Text2[i], copied_.Text2[i]);
    show_text(text3_, cells.Text3, copied_.Text3);
    show_text(Command1(), cells.Command1);
    for (auto [box, ticked] : {std::pair{check1_, logic_.Check1()}, std::pair{check2_, logic_.Check2()}}) {
        if (box->isChecked() == ticked) continue;
        const QSignalBlocker quiet(box);
        box->setChecked(ticked);
    }
    if (logic_.Timer1Enabled() && !timer1_.isActive()) timer1_.start();
    if (!logic_.Timer1Enabled()) timer1_.stop();
}

void Form1::after_command(CommandOutcome outcome) {
    refresh();
    emit command_taken(outcome);
}

void Form1::Timer1_Timer() {
    logic_.Timer1_Timer();
    refresh();
}

}  // namespace sensor

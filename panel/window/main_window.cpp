#include "panel/window/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

#include "io/replay_source.h"
#include "link/link_policy.h"

namespace sensor {
namespace {

QString speed_label(double speed) {
    if (std::isinf(speed)) return QObject::tr("As fast as the panel takes it");
    if (speed == 0.25) return QStringLiteral("\u00bc\u00d7");
    if (speed == 1) return QObject::tr("1\u00d7 (the line rate)");
    return QStringLiteral("%1\u00d7").arg(speed);
}

}  // namespace

MainWindow::MainWindow(PanelLogic& logic, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainWindow"));
    // The panel's caption is the window's.
    setWindowTitle(QStringLiteral("Form1"));
    form_ = new Form1(logic, this);
    setCentralWidget(form_);
    status_ = new StatusBar(this);
    setStatusBar(status_);
    build_menus();
    // Never smaller than the whole panel and the status bar.
    layout()->setSizeConstraint(QLayout::SetMinimumSize);
}

void MainWindow::build_menus() {
    file_menu_ = menuBar()->addMenu(tr("&File"));
    record_action_ = file_menu_->addAction(tr("&Record…"), this, [this] {
        if (recording_) {
            emit stop_recording_requested();
            return;
        }
        // The recording starts afresh: an existing file is replaced, after the dialog asked.
        const QString path = QFileDialog::getSaveFileName(this, tr("Record the run to"), QString(),
                                                          tr("Recordings (*.rec);;All files (*)"));
        if (!path.isEmpty()) emit record_requested(path);
    });
    record_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    file_menu_->addAction(tr("Re&play…"), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Replay a recording"), QString(),
                                                          tr("Recordings and byte captures (*.rec *.bin);;All files (*)"));
        if (!path.isEmpty()) emit replay_requested(path);
    });
    pause_action_ = file_menu_->addAction(tr("P&ause replay"));
    pause_action_->setCheckable(true);
    connect(pause_action_, &QAction::triggered, this, &MainWindow::replay_pause_requested);
    restart_action_ = file_menu_->addAction(tr("Restart replay"), this, &MainWindow::replay_restart_requested);
    speed_menu_ = file_menu_->addMenu(tr("Replay &speed"));
    auto* speeds = new QActionGroup(speed_menu_);
    for (const double speed : ReplaySource::kSpeeds) {
        QAction* a = speed_menu_->addAction(speed_label(speed));
        a->setCheckable(true);
        a->setData(speed);
        a->setActionGroup(speeds);
        connect(a, &QAction::triggered, this, [this, speed] { emit replay_speed_requested(speed); });
    }
    set_replay(false, false, 1);
    file_menu_->addSeparator();
    QAction* quit = file_menu_->addAction(tr("&Quit"), this, &QWidget::close);
    // Ctrl+Q on every platform: the platform's own Quit key is empty on Windows and offscreen.
    quit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Q)});
    quit->setShortcutContext(Qt::ApplicationShortcut);

    port_menu_ = menuBar()->addMenu(tr("&Port"));
    set_ports({}, {}, true);

    log_menu_ = menuBar()->addMenu(tr("&Log"));
    log_path_action_ = log_menu_->addAction(QString());
    log_path_action_->setEnabled(false);
    log_menu_->addAction(tr("&Choose log file…"), this, &MainWindow::choose_log_file);
    log_menu_->addAction(tr("&Open log folder"), this, &MainWindow::open_log_folder);
    log_menu_->addSeparator();
    logging_action_ = log_menu_->addAction(tr("&Log runs"));
    logging_action_->setCheckable(true);
    logging_action_->setChecked(true);
    connect(logging_action_, &QAction::toggled, this, &MainWindow::logging_switched);
    time_columns_action_ = log_menu_->addAction(tr("&Time columns"));
    time_columns_action_->setCheckable(true);
    time_columns_action_->setToolTip(tr("Each line starts with its UTC time, the run clock and the frame number, and "
                                        "ends with the markers set since the line before."));
    connect(time_columns_action_, &QAction::toggled, this, &MainWindow::time_columns_switched);
    log_menu_->addSeparator();
    // A marker needs no run and no recording; it goes wherever the run is kept. Trends has the
    // same keys for its own window.
    QAction* mark = log_menu_->addAction(tr("&Mark this moment"), this, [this] { emit marker_requested({}); });
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    QAction* mark_named = log_menu_->addAction(tr("Mark with a &label…"), this, &MainWindow::ask_marker_label);
    mark_named->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));

    view_menu_ = menuBar()->addMenu(tr("&View"));
    QAction* trends = view_menu_->addAction(tr("&Trends"), this, &MainWindow::trends_requested);
    trends->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    trends->setShortcutContext(Qt::ApplicationShortcut);
    view_menu_->addAction(tr("&Messages…"), this, &MainWindow::show_messages);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&Serial port access"), this, [this] {
        QMessageBox::information(
            this, tr("Serial port access"),
            tr("On Linux a serial port belongs to a group, dialout on Debian and Ubuntu (ls -l /dev/ttyUSB0 shows it). "
               "To open it without being root, add your user to that group once:\n\n    %1\n\nthen log out and in "
               "again; id -nG lists the groups of the session. When the panel cannot open a port for this reason, the "
               "status bar names the port's own group.")
                .arg(QString::fromStdString(join_group_command("dialout"))));
    });
    help->addAction(tr("&About sensor-panel"), this, [this] {
        QMessageBox::about(this, tr("About sensor-panel"),
                           tr("sensor-panel %1\nThe operator panel for the sensor board on a serial line (19200 baud, 8N1).")
                               .arg(QCoreApplication::applicationVersion()));
    });
}

void MainWindow::set_ports(const QList<PortInfo>& ports, const QString& current, bool choosable) {
    ports_ = ports;
    current_port_ = current;
    ports_choosable_ = choosable;
    port_menu_->clear();
    auto* group = new QActionGroup(port_menu_);
    bool current_listed = false;
    for (const PortInfo& p : ports) {
        QString text = p.label();
        if (!p.manufacturer.isEmpty()) text += QStringLiteral(", ") + p.manufacturer;
        if (!p.serial_number.isEmpty()) text += QStringLiteral(", serial ") + p.serial_number;
        QAction* a = port_menu_->addAction(text);
        a->setData(p.location);
        a->setCheckable(true);
        a->setChecked(p.location == current);
        a->setEnabled(choosable);
        a->setActionGroup(group);
        current_listed = current_listed || p.location == current;
        connect(a, &QAction::triggered, this, [this, location = p.location] { emit port_chosen(location); });
    }
    // A port the list does not know (a pseudo-terminal, a link, the simulated board) is still shown.
    if (!current.isEmpty() && !current_listed) {
        QAction* a = port_menu_->addAction(current);
        a->setCheckable(true);
        a->setChecked(true);
        a->setEnabled(false);
    }
    if (ports.isEmpty()) port_menu_->addAction(tr("No serial ports found"))->setEnabled(false);
    port_menu_->addSeparator();
    QAction* other = port_menu_->addAction(tr("&Other…"), this, &MainWindow::choose_other_port);
    other->setEnabled(choosable);
}

void MainWindow::choose_other_port() {
    bool ok = false;
    const QString location = QInputDialog::getText(this, tr("Other port"),
                                                   tr("Serial port (a device path such as /dev/ttyUSB0, or a name such as COM3):"),
                                                   QLineEdit::Normal, current_port_, &ok)
                                 .trimmed();
    if (ok && !location.isEmpty()) emit port_chosen(location);
}

void MainWindow::set_recording(bool on) {
    recording_ = on;
    record_action_->setText(on ? tr("Stop &recording") : tr("&Record…"));
}

void MainWindow::set_replay(bool on, bool paused, double speed) {
    pause_action_->setEnabled(on);
    pause_action_->setChecked(on && paused);
    restart_action_->setEnabled(on);
    speed_menu_->setEnabled(on);
    for (QAction* a : speed_menu_->actions()) a->setChecked(a->data().toDouble() == speed);
}

void MainWindow::set_log(const QString& path, bool logging) {
    log_path_ = path;
    log_path_action_->setText(tr("File: %1").arg(path));
    const QSignalBlocker quiet(logging_action_);
    logging_action_->setChecked(logging);
}

void MainWindow::set_time_columns(bool on) {
    const QSignalBlocker quiet(time_columns_action_);
    time_columns_action_->setChecked(on);
}

void MainWindow::ask_marker_label() {
    bool ok = false;
    const QString label = QInputDialog::getText(QApplication::activeWindow() ? QApplication::activeWindow() : this,
                                                tr("Mark this moment"), tr("Label of the marker:"), QLineEdit::Normal,
                                                QString(), &ok)
                              .trimmed();
    if (ok) emit marker_requested(label);
}

void MainWindow::choose_log_file() {
    // Lines are appended to a file that exists, so no overwrite question.
    const QString path = QFileDialog::getSaveFileName(this, tr("Log file"), log_path_, tr("CSV files (*.csv);;All files (*)"),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) emit log_path_chosen(path);
}

void MainWindow::open_log_folder() {
    const QString folder = QFileInfo(log_path_).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        emit message(tr("The folder %1 does not exist yet; it is made when the first line is logged.").arg(folder));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        emit message(tr("Cannot open the folder %1: no file manager answered.").arg(folder));
}

void MainWindow::show_messages() {
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Messages"));
    auto* text = new QPlainTextEdit(&dialog);
    text->setReadOnly(true);
    QString all;
    for (const StatusMessage& m : status_->history())
        all += m.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ") + m.text + QLatin1Char('\n');
    text->setPlainText(all.isEmpty() ? tr("No messages yet.") : all);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(700, 300);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (close_guard_ && !close_guard_()) {
        event->ignore();
        return;
    }
    emit unloading();
    event->accept();
}

}  // namespace sensor
